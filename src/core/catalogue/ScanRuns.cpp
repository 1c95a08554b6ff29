#include "ScanRuns.h"
#include "CatalogueError.h"
#include "ScanRunSchema.h"
#include "SqlStatement.h"
#include "core/base/UserMessages.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
// ISO 8601 in UTC, to the second: the same text on SQLite and PostgreSQL,
// readable in the SQL window, and in time order when sorted as text.
QString stored(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODate);
}

// Percent-encoded, "/" kept: the listed bytes of any server, as text on both stores.
QString startFolderText(const QByteArray &path)
{
    return QString::fromLatin1(path.toPercentEncoding("/"));
}

QDateTime readTime(const QVariant &v)
{
    return v.isNull() ? QDateTime() : QDateTime::fromString(v.toString(), Qt::ISODate).toUTC();
}

constexpr const char *Columns[] = {"Run",     "Host",    "Started",     "Ended",  "Result",  "Entries", "Folders",
                                   "Added",   "Changed", "Removed", "UnreadLines", "Method", "Greeting",
                                   "StartFolder"};

ScanRun readRun(const QSqlQuery &q)
{
    ScanRun r;
    r.run = q.value(0).toLongLong();
    r.host = q.value(1).toString();
    r.started = readTime(q.value(2));
    r.ended = readTime(q.value(3));
    r.result = ScanRun::resultFrom(q.value(4).toString());
    r.entries = q.value(5).toLongLong();
    r.folders = q.value(6).toLongLong();
    r.added = q.value(7).toLongLong();
    r.changed = q.value(8).toLongLong();
    r.removed = q.value(9).toLongLong();
    r.unreadLines = q.value(10).toLongLong();
    r.method = q.value(11).toString();
    r.greeting = q.value(12).toString();
    r.startPath = QByteArray::fromPercentEncoding(q.value(13).toString().toLatin1());
    return r;
}
} // namespace

ScanRuns::ScanRuns(const QSqlDatabase &db)
    : m_db(db)
{
}

// The number is drawn in the statement that stores the run: a host is
// scanned by one writer at a time (ScanLock), so two never draw the same.
qint64 ScanRuns::record(const ScanRun &run)
{
    SqlStatement::run(m_db,
                      QStringLiteral("INSERT INTO ScanRun (Run, Host, Started, Ended, Result, Entries, Folders, Added, "
                                     "Changed, Removed, UnreadLines, Method, Greeting, StartFolder) "
                                     "VALUES ((SELECT COALESCE(MAX(Run), 0) + 1 FROM ScanRun WHERE Host = ?), "
                                     "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {run.host, run.host, stored(run.started), stored(run.ended), ScanRun::resultText(run.result), run.entries,
                       run.folders, run.added, run.changed, run.removed, run.unreadLines, run.method,
                       run.greeting.left(ScanRun::GreetingSize), startFolderText(run.startPath)});
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("SELECT MAX(Run) FROM ScanRun WHERE Host = ?"), {run.host});
    return q.next() ? q.value(0).toLongLong() : 0;
}

qint64 ScanRuns::record(const ScanRun &run, UserMessages &messages)
{
    try {
        return record(run);
    } catch (const CatalogueError &e) {
        messages.showMessage(QStringLiteral("The scan of %1 could not be recorded in the catalogue: %2").arg(run.host, e.message()));
    }
    return 0;
}

void ScanRuns::record(const QString &host, const QDateTime &started, const QDateTime &ended)
{
    ScanRun run;
    run.host = host;
    run.started = started;
    run.ended = ended;
    record(run);
}

// Only read, never made here: a file opened read-only may be older than the table.
bool ScanRuns::hasTable() const
{
    return !m_db.record(QStringLiteral("scanrun")).isEmpty();
}

// A read-only file made before may lack the later columns: they read as empty.
QString ScanRuns::selectRuns() const
{
    QStringList columns;
    for (const char *c : Columns) {
        const QString name = QLatin1String(c);
        columns << (ScanRunSchema::hasColumn(m_db, QStringLiteral("ScanRun"), name) ? name : QStringLiteral("NULL"));
    }
    return QStringLiteral("SELECT %1 FROM ScanRun").arg(columns.join(QStringLiteral(", ")));
}

QList<ScanRun> ScanRuns::history(const QString &host) const
{
    QList<ScanRun> runs;
    if (!hasTable())
        return runs;
    QSqlQuery q = SqlStatement::run(m_db, selectRuns() + QStringLiteral(" WHERE Host = ? ORDER BY Started DESC, Run DESC"),
                                    {host});
    while (q.next())
        runs.append(readRun(q));
    return runs;
}

std::optional<ScanRun> ScanRuns::last(const QString &host) const
{
    const QList<ScanRun> runs = history(host);
    return runs.isEmpty() ? std::nullopt : std::optional<ScanRun>(runs.first());
}

// Every run is read once, in order of start: a catalogue holds a few
// hundred hosts of a few hundred runs at most.
QHash<QString, ScanRuns::Status> ScanRuns::statusByHost() const
{
    QHash<QString, Status> hosts;
    if (!hasTable())
        return hosts;
    QSqlQuery q = SqlStatement::run(m_db, selectRuns() + QStringLiteral(" ORDER BY Started, Run"));
    while (q.next()) {
        const ScanRun run = readRun(q);
        Status &s = hosts[run.host];
        s.last = run;
        if (run.answered())
            s.lastAnswered = run.started;
        if (run.result == ScanRun::Result::Complete)
            s.lastComplete = run.started;
    }
    return hosts;
}

QDateTime ScanRuns::lastStarted(const QString &host) const
{
    if (!hasTable())
        return QDateTime();
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("SELECT MAX(Started) FROM ScanRun WHERE Host = ?"), {host});
    return q.next() ? readTime(q.value(0)) : QDateTime();
}

QHash<QString, QDateTime> ScanRuns::lastStartedByHost() const
{
    QHash<QString, QDateTime> runs;
    if (!hasTable())
        return runs;
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("SELECT Host, MAX(Started) FROM ScanRun GROUP BY Host"));
    while (q.next())
        runs.insert(q.value(0).toString(), readTime(q.value(1)));
    return runs;
}
