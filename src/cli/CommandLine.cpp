#include "CommandLine.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "DupesCommand.h"
#include "FindCommand.h"
#include "ServeCommand.h"

#include <QRegularExpression>

CommandLine::CommandLine()
{
    m_parser.addOptions({
        {"data", "Data folder.", "DIR"},
        {"db", "Catalogue database (postgresql://user@host:port/database).", "URL"},
        {"format", "Output format.", "FORMAT", "tsv"},
        {"user", "User name.", "NAME"},
        {"password-stdin", "Read the password from standard input."},
        {"passive", "Passive data connections."},
        {"type", "File type.", "EXT"},
        {"host", "Host.", "HOST"},
        {"long", "Size, date and type before each path."},
        {"limit", "Row limit.", "N"},
        {"regex", "The pattern is a regular expression."},
        {"min-size", "Smallest size.", "SIZE"},
        {"max-size", "Largest size.", "SIZE"},
        {"newer", "Listed after.", "WHEN"},
        {"older", "Listed before.", "WHEN"},
        {"under", "Only below this folder.", "HOST/PATH"},
        {"files", "Only files."},
        {"folders", "Only folders."},
        {"count", "Only the number of matches."},
        {"sort", "Sort key.", "KEY"},
        {"order", "Sort order.", "ORDER"},
        {"after", "The page after this cursor.", "CURSOR"},
        {"saved", "A search saved in the find dialog.", "NAME"},
        {"listen", "Address and port to serve on.", "ADDRESS:PORT"},
        {"token-file", "File holding the token requests need.", "FILE"},
        {"timeout", "Longest time a request may take.", "SECONDS"},
        {"by", "What duplicates share.", "KEY"},
        {"tls", "TLS mode.", "MODE"},
        {"trust", "Trusted certificate fingerprint.", "FINGERPRINT"},
        {"max-entries", "Entry limit.", "N"},
        {"max-depth", "Depth limit.", "N"},
        {"connections", "Connections at once.", "N"},
        {"save", "Keep the scan options in the settings."},
        {"restart", "Start the scan over."},
        {"to", "Copy into this database.", "URL"},
        {"from", "Copy from this database.", "URL"},
        {"run", "A host's run, as history numbers it.", "N"},
        {"hosts-file", "Addresses to scan, one a line.", "FILE"},
        {"parallel-hosts", "Hosts scanned at once.", "N"},
        {"older-than", "Only hosts last completely scanned longer ago.", "AGE"},
        {"failed", "Only hosts whose last scan did not complete."},
        {{"h", "help"}, "Usage."},
        {"version", "Version."},
    });
}

bool CommandLine::parse(const QStringList &arguments)
{
    // Record IDs may be negative: "-123" is a value, not a run of short options.
    QStringList args;
    QStringList negatives;
    static const QRegularExpression number(QStringLiteral("^-\\d+$"));
    for (const QString &a : arguments)
        (number.match(a).hasMatch() ? negatives : args) << a;
    if (!m_parser.parse(args))
        return false;
    m_arguments = m_parser.positionalArguments() + negatives;
    return true;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "usage: harvex-cli COMMAND [options]\n"
        "  scan HOST[:PORT][/FOLDER] [--user NAME] [--password-stdin] [--passive] [--tls require|try|off]\n"
        "       [--trust FINGERPRINT] [--max-entries N] [--max-depth N] [--connections N] [--restart] [--save]\n"
        "  find PATTERN|--saved NAME [--regex] [--type EXT,...] [--host HOST] [--under HOST/PATH] [--files|--folders]\n"
        "       [--min-size SIZE] [--max-size SIZE] [--newer WHEN] [--older WHEN] [--count] [--long] [--limit N]\n"
        "       [--sort name|size|date|path|host] [--order asc|desc] [--after CURSOR]\n"
        "  dupes [--by name,size|size] [--min-size SIZE] [--host HOST] [--limit N]\n"
        "  sql STATEMENT\n"
        "  tree [HOST]\n"
        "  path ID\n"
        "  scan HOST [HOST...] | --hosts-file FILE [--parallel-hosts N]   (several hosts at once)\n"
        "  rescan [--older-than AGE] [--failed] [--parallel-hosts N]   (hosts of the catalogue)\n"
        "  hosts [--long]\n"
        "  history HOST\n"
        "  recode HOST\n"
        "  changes HOST [--run N]\n"
        "  serve [--listen 127.0.0.1:8080] [--token-file FILE]   (a read-only search page and JSON API)\n"
        "  copy --to URL | --from URL [--host HOST]...   (between this catalogue and a shared one)\n"
        "options for every command: --data DIR, --db URL, --format tsv|csv|json, --help\n"
        "  --db postgresql://user@host:5432/harvex: a shared catalogue (else [DB] Url, else DB in the data folder)\n"
        "harvex-cli --version prints the version");
}

QString CommandLine::commandUsage(const QString &command)
{
    if (command == QLatin1String("find"))
        return FindCommand::usage();
    if (command == QLatin1String("dupes"))
        return DupesCommand::usage();
    if (command == QLatin1String("serve"))
        return ServeCommand::usage();
    if (command != QLatin1String("scan"))
        return usage();
    return QStringLiteral(
        "usage: harvex-cli scan [ftp://|ftps://][USER@]HOST[:PORT][/FOLDER] [options]\n"
        "  HOST may be host, host:port, [IPv6]:port, ftp://host or ftps://host (TLS from\n"
        "  the start; port 990 means the same); with /FOLDER only that folder is listed\n"
        "  (%XX for a byte of a name), and the folders above it are kept as rows\n"
        "  --user NAME             log on as NAME (anonymous without it)\n"
        "  --password-stdin        read the password from the first line of standard input;\n"
        "                          without it, the user and password of the host's entry in\n"
        "                          ~/.netrc (refused while others can read the file)\n"
        "  --passive               passive data connections\n"
        "  --tls require|try|off   TLS for this host (default try: when the server offers it)\n"
        "  --trust FINGERPRINT     accept the certificate with this SHA-256 fingerprint\n"
        "                          (hex, colons optional, as openssl x509 -fingerprint prints it)\n"
        "  --max-entries N         stop after N entries\n"
        "  --max-depth N           do not list folders deeper than N levels (default 256)\n"
        "  --connections N         list over at most N connections at once (default 4,\n"
        "                          or [FTP] Connections in the settings file; 1 to 16)\n"
        "  --restart               list the whole tree again: without it, a scan of this host\n"
        "                          that was cut short carries on from the folders it left\n"
        "  --save                  keep --passive, --tls and --trust in the settings file;\n"
        "                          without it they apply to this run only\n"
        "  several addresses, or --hosts-file FILE (one address a line, # comments):\n"
        "                          scanned at once, a table of how each went at the end\n"
        "  --parallel-hosts N      at most N hosts at once (default 4)\n"
        "  --data DIR              data folder\n"
        "exit codes: 0 complete, 1 bad arguments, 2 host not reached or log-on refused,\n"
        "  3 some folders not listed or a limit reached, 130 cancelled; of several hosts, the worst");
}

int CommandLine::usageError(const QString &why)
{
    ConsoleLine::err(QStringLiteral("harvex-cli: %1\n%2").arg(why, usage()));
    return ExitCode::Failed;
}
