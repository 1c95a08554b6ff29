#include "CliApp.h"
#include "core/base/ActivityLog.h"
#include "core/base/AppPaths.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "CliHost.h"
#include "StderrMessages.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/FtpConnection.h"
#include "core/scan/HostScanner.h"
#include "core/base/IniFile.h"
#include "core/catalogue/LineageWalk.h"
#include "NameCommands.h"
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

const QStringList Commands = {"scan", "find", "sql", "tree", "path", "hosts", "recode", "changes"};
} // namespace

QString CliApp::usage()
{
    return QStringLiteral(
        "usage: harvex-cli COMMAND [options]\n"
        "  scan HOST[:PORT] [--user NAME] [--password-stdin] [--passive]\n"
        "  find PATTERN [--type EXT] [--host HOST]\n"
        "  sql STATEMENT\n"
        "  tree [HOST]\n"
        "  path ID\n"
        "  hosts\n"
        "  recode HOST\n"
        "  changes HOST\n"
        "options for every command: --data DIR, --format tsv|csv|json");
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
        {"format", "Output format.", "FORMAT", "tsv"},
        {"user", "User name.", "NAME"},
        {"password-stdin", "Read the password from standard input."},
        {"passive", "Passive data connections."},
        {"type", "File type.", "EXT"},
        {"host", "Host.", "HOST"},
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
    if (m_args.isEmpty() || !Commands.contains(m_args.first()))
        return usageError(m_args.isEmpty() ? QStringLiteral("no command given")
                                           : QStringLiteral("unknown command \"%1\"").arg(m_args.first()));
    if (!ResultWriter::parseFormat(m_parser.value("format"), m_format))
        return usageError(QStringLiteral("unknown format \"%1\"").arg(m_parser.value("format")));
    const QString command = m_args.takeFirst();
    const int wanted = (command == "hosts") ? 0 : (command == "tree") ? -1 : 1;
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
        m_catalogue->open(AppPaths::catalogueDir());
    } catch (const CatalogueError &e) {
        err(e.message());
        return false;
    }
    return true;
}

// The host joins the history the desktop program offers, most recent first.
void CliApp::rememberHost(const QString &host)
{
    const int n = m_settings->readInt("HOSTS", "Host Count", 0);
    QStringList list{host};
    for (int i = 1; i <= n; ++i) {
        const QString h = m_settings->readString("HOSTS", QString::number(i), QString());
        if (h != host)
            list << h;
    }
    list = list.mid(0, 100);
    m_settings->writeInt("HOSTS", "Host Count", int(list.size()));
    for (int i = 0; i < list.size(); ++i)
        m_settings->writeString("HOSTS", QString::number(i + 1), list[i]);
    if (!m_settings->save())
        err(QStringLiteral("Cannot write the settings file %1").arg(m_settings->path()));
}

QString CliApp::defaultHost()
{
    return m_settings->readString("HOSTS", "1", QString());
}

int CliApp::scan()
{
    CliHost host;
    host.host = m_args.first();
    host.user = m_parser.value("user");
    if (m_parser.isSet("password-stdin")) {
        QTextStream in(stdin);
        host.password = in.readLine();
    }
    if (m_parser.isSet("passive"))
        m_settings->writeBool("FTP", "Passive", true);
    ActivityLog log;
    QObject::connect(&log, &ActivityLog::lineAdded, [](const QString &line) { err(line); });
    ElapsedCounter timeConnect;
    StderrMessages messages;
    TerminalProgress progress(log, host);
    FtpConnection connection(log, timeConnect, host, messages);
    connection.setSettings(m_settings.get());
    HostScanner scanner(connection, *m_catalogue, log, host, messages, progress);
    TerminalProgress::cancelOnSignals();
    scanner.ScanHost();
    rememberHost(host.host);
    if (scanner.stats().listed == 0 && !connection.lastError().isEmpty()) {
        err(connection.lastError()); // why the host was not available
        return Unreachable;
    }
    err(QStringLiteral("%1 entries in %2 folders; %3 folders could not be listed; %4 added, %5 changed, %6 removed")
            .arg(scanner.stats().entries)
            .arg(scanner.stats().listed)
            .arg(scanner.stats().failed)
            .arg(scanner.stats().added)
            .arg(scanner.stats().changed)
            .arg(scanner.stats().removed));
    if (scanner.stats().terminated)
        return Unreachable;
    if (TerminalProgress::interrupted()) {
        err(QStringLiteral("Scan cancelled; what was found so far is stored"));
        return Interrupted;
    }
    return scanner.stats().failed > 0 ? Incomplete : Ok;
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

int CliApp::find()
{
    QString sql = QStringLiteral("SELECT * FROM DB WHERE (Name LIKE ?) AND (Ext LIKE ?)");
    if (m_parser.isSet("host"))
        sql += QStringLiteral(" AND (Host = ?)");
    QSqlQuery q(m_catalogue->database());
    q.setForwardOnly(true);
    q.prepare(sql);
    q.addBindValue(m_args.first());
    q.addBindValue(m_parser.isSet("type") && m_parser.value("type") != "ALL" ? m_parser.value("type") : QStringLiteral("%"));
    if (m_parser.isSet("host"))
        q.addBindValue(m_parser.value("host"));
    if (!q.exec()) {
        err(q.lastError().text());
        return Failed;
    }
    return writeQuery(q, m_format);
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
    QSqlQuery q(m_catalogue->database());
    q.setForwardOnly(true);
    // Folder names as listed, not as cut into Name.
    q.prepare(QStringLiteral("SELECT d.ID, d.PID, %1 FROM DB d LEFT JOIN ExactName x ON x.ID = d.ID "
                             "WHERE d.Host = ? AND d.Attr = 16")
                  .arg(ExactNames::sqlBytes()));
    q.addBindValue(host);
    if (!q.exec()) {
        err(q.lastError().text());
        return Failed;
    }
    const QByteArray codePage = FtpConnection::codePageFor(*m_settings, host);
    QHash<qint32, QList<QPair<qint32, QString>>> byParent;
    while (q.next())
        byParent[q.value(1).toInt()].append(
            {q.value(0).toInt(), ExactNames::decode(q.value(2).toByteArray(), codePage)});
    ResultWriter out(m_format);
    out.header({"Depth", "ID", "Name"});
    QList<std::tuple<qint32, int, QString>> stack;
    const auto roots = byParent.value(0);
    for (auto it = roots.crbegin(); it != roots.crend(); ++it)
        stack.append({it->first, 0, it->second});
    while (!stack.isEmpty()) {
        const auto [id, depth, name] = stack.takeLast();
        out.row({depth, id, QString(depth * 2, u' ') + name});
        const auto children = byParent.take(id);
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append({it->first, depth + 1, it->second});
    }
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

int CliApp::hosts()
{
    QSqlQuery q(m_catalogue->database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT Host, COUNT(*) AS Rows, SUM(Size) AS TotalSize FROM DB GROUP BY Host ORDER BY Host"))) {
        err(q.lastError().text());
        return Failed;
    }
    return writeQuery(q, m_format);
}
