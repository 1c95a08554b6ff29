#include "ScanRuns.h"
#include "CatalogueError.h"
#include "SqlStatement.h"
#include "core/base/UserMessages.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
// ISO 8601 in UTC, to the second: the same text on SQLite and PostgreSQL,
// readable in the SQL window, and in time order when sorted as text.
QString stored(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODate);
}
} // namespace

ScanRuns::ScanRuns(const QSqlDatabase &db)
    : m_db(db)
{
}

void ScanRuns::record(const QString &host, const QDateTime &started, const QDateTime &ended)
{
    // Run as it is, not prepared: PostgreSQL prepares no CREATE.
    QSqlQuery create(m_db);
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ScanRun "
                                    "(Host TEXT NOT NULL, Started TEXT NOT NULL, Ended TEXT NOT NULL)")))
        throw CatalogueError(create.lastError().text());
    SqlStatement::run(m_db, QStringLiteral("INSERT INTO ScanRun (Host, Started, Ended) VALUES (?, ?, ?)"),
                      {host, stored(started), stored(ended)});
}

void ScanRuns::record(const QString &host, const QDateTime &started, const QDateTime &ended, UserMessages &messages)
{
    try {
        record(host, started, ended);
    } catch (const CatalogueError &e) {
        messages.showMessage(QStringLiteral("The scan of %1 could not be recorded in the catalogue: %2").arg(host, e.message()));
    }
}

// Only read, never made here: the browser reads while a scan may hold the
// catalogue's write lock. PostgreSQL keeps the unquoted name in lower case,
// and its driver looks the name up as given; SQLite takes either.
bool ScanRuns::hasTable() const
{
    return !m_db.record(QStringLiteral("scanrun")).isEmpty();
}

QDateTime ScanRuns::lastStarted(const QString &host) const
{
    if (!hasTable())
        return QDateTime();
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("SELECT MAX(Started) FROM ScanRun WHERE Host = ?"), {host});
    if (!q.next() || q.value(0).isNull())
        return QDateTime();
    return QDateTime::fromString(q.value(0).toString(), Qt::ISODate).toUTC();
}

QHash<QString, QDateTime> ScanRuns::lastStartedByHost() const
{
    QHash<QString, QDateTime> runs;
    if (!hasTable())
        return runs;
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("SELECT Host, MAX(Started) FROM ScanRun GROUP BY Host"));
    while (q.next())
        runs.insert(q.value(0).toString(), QDateTime::fromString(q.value(1).toString(), Qt::ISODate).toUTC());
    return runs;
}
