#include "CliApp.h"
#include "core/base/ActivityLog.h"
#include "core/base/AppPaths.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/HostHistory.h"
#include "core/catalogue/ExactNames.h"
#include "StderrMessages.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/FtpConnection.h"
#include "core/scan/HostScanner.h"
#include "core/scan/HostSnapshot.h"
#include "core/base/IniFile.h"
#include "core/catalogue/LineageWalk.h"
#include "core/ftp/CertificateFingerprint.h"
#include "FindCommand.h"
#include "IndexProgress.h"
#include "NameCommands.h"
#include "CopyCommand.h"
#include "TerminalProgress.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <cstdio>

namespace {
void err(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

const QStringList Commands = {"scan", "find", "sql", "tree", "path", "hosts", "recode", "changes", "copy"};

void out(const QString &text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
}
} // namespace

// What the scan command line asks for this run.
struct ScanRun
{
    FtpConnection::RunOptions connection;
    HostScanner::Limits limits;
    int connections = HostScanner::DefaultConnections;
};

QString CliApp::usage()
{
    return QStringLiteral(
        "usage: harvex-cli COMMAND [options]\n"
        "  scan HOST[:PORT] [--user NAME] [--password-stdin] [--passive] [--tls require|try|off]\n"
        "       [--trust FINGERPRINT] [--max-entries N] [--max-depth N] [--connections N] [--save]\n"
        "  find PATTERN [--type EXT] [--host HOST] [--long] [--limit N]\n"
        "  sql STATEMENT\n"
        "  tree [HOST]\n"
        "  path ID\n"
        "  hosts\n"
        "  recode HOST\n"
        "  changes HOST\n"
        "  copy --to URL | --from URL [--host HOST]...   (between this catalogue and a shared one)\n"
        "options for every command: --data DIR, --db URL, --format tsv|csv|json, --help\n"
        "  --db postgresql://user@host:5432/harvex: a shared catalogue (else [DB] Url, else DB in the data folder)\n"
        "harvex-cli --version prints the version");
}

QString CliApp::commandUsage(const QString &command)
{
    if (command == QLatin1String("find"))
        return FindCommand::usage();
    if (command != QLatin1String("scan"))
        return usage();
    return QStringLiteral(
        "usage: harvex-cli scan HOST[:PORT] [options]\n"
        "  HOST may be host, host:port, [IPv6]:port, ftp://host or ftps://host (TLS from\n"
        "  the start; port 990 means the same)\n"
        "  --user NAME             log on as NAME (anonymous without it)\n"
        "  --password-stdin        read the password from the first line of standard input\n"
        "  --passive               passive data connections\n"
        "  --tls require|try|off   TLS for this host (default try: when the server offers it)\n"
        "  --trust FINGERPRINT     accept the certificate with this SHA-256 fingerprint\n"
        "                          (hex, colons optional, as openssl x509 -fingerprint prints it)\n"
        "  --max-entries N         stop after N entries\n"
        "  --max-depth N           do not list folders deeper than N levels (default 256)\n"
        "  --connections N         list over at most N connections at once (default 4,\n"
        "                          or [FTP] Connections in the settings file; 1 to 16)\n"
        "  --save                  keep --passive, --tls and --trust in the settings file;\n"
        "                          without it they apply to this run only\n"
        "  --data DIR              data folder\n"
        "exit codes: 0 complete, 1 bad arguments, 2 host not reached or log-on refused,\n"
        "  3 some folders not listed or a limit reached, 130 cancelled");
}

int CliApp::usageError(const QString &why)
{
    err(QStringLiteral("harvex-cli: %1\n%2").arg(why, usage()));
    return Failed;
}

bool CliApp::parse(const QStringList &arguments)
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
        {"tls", "TLS mode.", "MODE"},
        {"trust", "Trusted certificate fingerprint.", "FINGERPRINT"},
        {"max-entries", "Entry limit.", "N"},
        {"max-depth", "Depth limit.", "N"},
        {"connections", "Connections at once.", "N"},
        {"save", "Keep the scan options in the settings."},
        {"to", "Copy into this database.", "URL"},
        {"from", "Copy from this database.", "URL"},
        {{"h", "help"}, "Usage."},
        {"version", "Version."},
    });
    // Record IDs may be negative: "-123" is a value, not a run of short options.
    QStringList args;
    QStringList negatives;
    static const QRegularExpression number(QStringLiteral("^-\\d+$"));
    for (const QString &a : arguments)
        (number.match(a).hasMatch() ? negatives : args) << a;
    if (!m_parser.parse(args))
        return false;
    m_args = m_parser.positionalArguments() + negatives;
    return true;
}

CliApp::CliApp() = default;
CliApp::~CliApp() = default;

int CliApp::run(const QStringList &arguments)
{
    if (!parse(arguments))
        return usageError(m_parser.errorText());
    if (m_parser.isSet("version")) {
        out(QStringLiteral("harvex-cli " HARVEX_VERSION));
        return Ok;
    }
    if (m_parser.isSet("help")) {
        out(m_args.isEmpty() ? usage() : commandUsage(m_args.first()));
        return Ok;
    }
    if (m_args.isEmpty() || !Commands.contains(m_args.first()))
        return usageError(m_args.isEmpty() ? QStringLiteral("no command given")
                                           : QStringLiteral("unknown command \"%1\"").arg(m_args.first()));
    if (!ResultWriter::parseFormat(m_parser.value("format"), m_format))
        return usageError(QStringLiteral("unknown format \"%1\"").arg(m_parser.value("format")));
    const QString command = m_args.takeFirst();
    const int wanted = (command == "hosts" || command == "copy") ? 0 : (command == "tree") ? -1 : 1;
    if ((wanted >= 0 && m_args.size() != wanted) || (wanted < 0 && m_args.size() > 1))
        return usageError(QStringLiteral("wrong number of arguments for \"%1\"").arg(command));
    if (m_parser.isSet("data"))
        AppPaths::setProgramDir(m_parser.value("data"));
    m_settings = std::make_unique<IniFile>(AppPaths::settingsFile());
    if (!openCatalogue())
        return Failed;
    if (command == "scan")
        return scan();
    if (command == "find")
        return find();
    if (command == "sql")
        return sql();
    if (command == "tree")
        return tree();
    if (command == "recode" || command == "changes")
        return names(command);
    if (command == "copy")
        return copy();
    return command == "path" ? path() : hosts();
}

int CliApp::names(const QString &command)
{
    try {
        NameCommands commands(*m_catalogue, *m_settings, m_format);
        if (command == "recode")
            commands.recode(m_args.first());
        else
            commands.changes(m_args.first());
    } catch (const CatalogueError &e) {
        err(e.message());
        return Failed;
    }
    return Ok;
}

bool CliApp::openCatalogue()
{
    m_catalogue = std::make_unique<Catalogue>();
    try {
        IndexProgress progress;
        m_catalogue->open(m_parser.isSet("db") ? m_parser.value("db")
                                               : CatalogueAddress::chosen(*m_settings, AppPaths::catalogueDir()),
                          std::ref(progress));
    } catch (const CatalogueError &e) {
        err(e.message());
        return false;
    }
    return true;
}

// The host joins the history the desktop program offers, most recent first.
void CliApp::rememberHost(const QString &host)
{
    HostHistory(*m_settings).remember(host);
    if (!m_settings->save())
        err(QStringLiteral("Cannot write the settings file %1").arg(m_settings->path()));
}

QString CliApp::defaultHost()
{
    return HostHistory(*m_settings).load().value(0);
}

int CliApp::scan()
{
    HostSnapshot host;
    host.host = m_args.first();
    host.user = m_parser.value("user");
    if (m_parser.isSet("password-stdin")) {
        QTextStream in(stdin);
        host.password = in.readLine();
    }
    ScanRun run;
    if (!runOptions(host.host, run))
        return Failed;
    if (m_parser.isSet("save"))
        saveRunOptions(FtpLogon::fromHostText(host.host).host, run);
    ActivityLog log;
    QObject::connect(&log, &ActivityLog::lineAdded, [](const QString &line) { err(line); });
    ElapsedCounter timeConnect;
    StderrMessages messages;
    TerminalProgress progress(log, host);
    FtpConnection connection(log, timeConnect, host, messages);
    connection.setSettings(m_settings.get());
    connection.setRunOptions(run.connection);
    HostScanner scanner(connection, *m_catalogue, log, host, messages, progress);
    scanner.setLimits(run.limits);
    scanner.setConnections(run.connections);
    TerminalProgress::cancelOnSignals(scanner.cancelFlag());
    scanner.ScanHost();
    TerminalProgress::cancelOnSignals(nullptr);
    if (scanner.stats().loggedOn)
        rememberHost(host.host); // a host that could not be reached is not offered again
    if (scanner.stats().listed == 0 && !connection.lastError().isEmpty()) {
        err(connection.lastError()); // why the host was not available
        if (connection.lastError().contains(QLatin1String("SHA-256 fingerprint")))
            err(QStringLiteral("To trust this certificate for the host, run again with --trust FINGERPRINT"));
        return Unreachable;
    }
    err(QStringLiteral("%1 entries in %2 folders; %3 folders could not be listed; "
                       "%4 listing lines could not be read in %5 folders; %6 added, %7 changed, %8 removed")
            .arg(scanner.stats().entries)
            .arg(scanner.stats().listed)
            .arg(scanner.stats().failed)
            .arg(scanner.stats().unreadLines)
            .arg(scanner.stats().unreadFolders)
            .arg(scanner.stats().added)
            .arg(scanner.stats().changed)
            .arg(scanner.stats().removed));
    if (scanner.stats().terminated || scanner.stats().catalogueFailed)
        return Unreachable;
    if (TerminalProgress::interrupted()) {
        err(QStringLiteral("Scan cancelled; what was found so far is stored"));
        return Interrupted;
    }
    // Skipped lines are entries that may be missing, as from an unlisted folder.
    return scanner.stats().failed > 0 || scanner.stats().unreadLines > 0 || scanner.stats().entryLimitReached
            || scanner.stats().depthLimitReached
        ? Incomplete : Ok;
}

// The scan's options, checked before anything goes out.
namespace {
// Usage errors inside option checks: the message is out, the check fails.
bool rejected(int)
{
    return false;
}
} // namespace

bool CliApp::runOptions(const QString &hostText, ScanRun &run)
{
    const FtpLogon logon = FtpLogon::fromHostText(hostText);
    if (!logon.valid)
        return rejected(usageError(logon.error));
    if (m_parser.isSet("passive"))
        run.connection.passive = true;
    if (m_parser.isSet("tls")) {
        const QString mode = m_parser.value("tls").toLower();
        if (mode != "require" && mode != "try" && mode != "off")
            return rejected(usageError(QStringLiteral("--tls takes require, try or off")));
        run.connection.tls = FtpLogon::tlsFromName(mode, FtpLogon::Tls::Try);
    }
    if (m_parser.isSet("trust")) {
        run.connection.trustSha256 = CertificateFingerprint::parse(m_parser.value("trust"));
        if (run.connection.trustSha256.isEmpty())
            return rejected(usageError(QStringLiteral("--trust takes a SHA-256 fingerprint: 64 hex digits, colons optional")));
    }
    run.limits.maxDepth = m_settings->readInt("SCAN", "Max Depth", HostScanner::MaxDepth);
    run.connections = m_settings->readInt("FTP", "Connections", HostScanner::DefaultConnections);
    if (m_parser.isSet("connections")) {
        bool ok = false;
        run.connections = m_parser.value("connections").toInt(&ok);
        if (!ok || run.connections < 1 || run.connections > HostScanner::MaxConnections)
            return rejected(usageError(QStringLiteral("--connections takes a number from 1 to %1").arg(HostScanner::MaxConnections)));
    }
    for (const char *name : {"max-entries", "max-depth"}) {
        if (!m_parser.isSet(name))
            continue;
        bool ok = false;
        const qint64 n = m_parser.value(name).toLongLong(&ok);
        if (!ok || n <= 0 || (name[4] == 'd' && n > 1000000))
            return rejected(usageError(QStringLiteral("--%1 takes a positive number").arg(QLatin1String(name))));
        if (name[4] == 'e')
            run.limits.maxEntries = n;
        else
            run.limits.maxDepth = int(n);
    }
    return true;
}

// --save: the run's connection options become the settings for the host.
void CliApp::saveRunOptions(const QString &host, const ScanRun &run)
{
    if (run.connection.passive)
        m_settings->writeBool("FTP", "Passive", *run.connection.passive);
    if (run.connection.tls)
        m_settings->writeString("TLS", host, FtpLogon::tlsName(*run.connection.tls));
    if (!run.connection.trustSha256.isEmpty())
        m_settings->writeString("TRUST", host, CertificateFingerprint::text(run.connection.trustSha256));
    if (!m_settings->save())
        err(QStringLiteral("Cannot write the settings file %1").arg(m_settings->path()));
}

namespace {
int writeQuery(QSqlQuery &q, ResultWriter::Format format)
{
    ResultWriter out(format);
    const QSqlRecord rec = q.record();
    QStringList fields;
    for (int i = 0; i < rec.count(); ++i)
        fields << rec.fieldName(i);
    out.header(fields);
    while (q.next()) {
        QVariantList values;
        for (int i = 0; i < rec.count(); ++i)
            values << q.value(i);
        out.row(values);
    }
    return 0;
}
} // namespace

int CliApp::runStatement(const CatalogueQueries::Statement &st)
{
    QSqlQuery q(m_catalogue->database());
    q.setForwardOnly(true);
    q.prepare(st.sql);
    for (const QVariant &v : st.params)
        q.addBindValue(v);
    if (!q.exec()) {
        err(q.lastError().text());
        return Failed;
    }
    return writeQuery(q, m_format);
}

int CliApp::find()
{
    FindCommand::Options options;
    options.pattern = m_args.first();
    if (m_parser.isSet("type"))
        options.type = m_parser.value("type");
    options.host = m_parser.value("host");
    options.longList = m_parser.isSet("long");
    if (m_parser.isSet("format"))
        options.format = m_format;
    if (m_parser.isSet("limit")) {
        bool ok = false;
        options.limit = m_parser.value("limit").toLongLong(&ok);
        if (!ok || options.limit <= 0)
            return usageError(QStringLiteral("--limit takes a positive number"));
    }
    try {
        FindCommand(*m_catalogue, *m_settings).run(options);
    } catch (const CatalogueError &e) {
        err(e.message());
        return Failed;
    }
    return Ok;
}

int CliApp::sql()
{
    QSqlQuery q(m_catalogue->database());
    q.setForwardOnly(true);
    if (!q.exec(m_args.first())) {
        err(q.lastError().text());
        return Failed;
    }
    if (!q.isSelect()) {
        err(QStringLiteral("%1 rows affected").arg(q.numRowsAffected()));
        return Ok;
    }
    return writeQuery(q, m_format);
}

int CliApp::tree()
{
    const QString host = m_args.isEmpty() ? defaultHost() : m_args.first();
    QList<CatalogueQueries::Folder> folders;
    try {
        folders = CatalogueQueries(m_catalogue->database()).folderTree(host, CatalogueQueries::HostMatch::Exact);
    } catch (const CatalogueError &e) {
        err(e.message());
        return Failed;
    }
    ResultWriter out(m_format);
    out.header({"Depth", "ID", "Name"});
    for (const CatalogueQueries::Folder &f : folders)
        out.row({f.depth, f.id, QString(f.depth * 2, u' ') + f.name});
    return Ok;
}

int CliApp::path()
{
    bool ok = false;
    const qint32 id = m_args.first().toInt(&ok);
    if (!ok)
        return usageError(QStringLiteral("\"%1\" is not a record ID").arg(m_args.first()));
    try {
        LineageWalk walk(*m_catalogue);
        const auto row = m_catalogue->recordById(id);
        if (!row)
            throw CatalogueError(QStringLiteral("Record Not Found"));
        const LineageWalk::Summary s = walk.recordSummary(id);
        const QString path = walk.exactPath(*row);
        walk.setCodePage(FtpConnection::codePageFor(*m_settings, path.mid(2).section(u'/', 0, 0)));
        ResultWriter out(m_format);
        out.header({"Path", "Size", "Address"});
        out.row({walk.exactPath(*row), s.size, walk.explorerUrl(*row).toString(QUrl::FullyEncoded)});
    } catch (const CatalogueError &e) {
        err(e.message());
        return Failed;
    }
    return Ok;
}

int CliApp::copy()
{
    if (m_parser.isSet("to") == m_parser.isSet("from"))
        return usageError(QStringLiteral("copy takes --to URL or --from URL"));
    const bool to = m_parser.isSet("to");
    return CopyCommand(*m_catalogue).run(m_parser.value(to ? "to" : "from"), to, m_parser.values("host"));
}

int CliApp::hosts()
{
    return runStatement(CatalogueQueries::hostSummary());
}
