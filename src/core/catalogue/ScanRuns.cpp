#include "ScanRuns.h"
#include "CatalogueError.h"
#include "SqlStatement.h"
#include "core/base/UserMessages.h"

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
    SqlStatement::run(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS ScanRun "
                                           "(Host TEXT NOT NULL, Started TEXT NOT NULL, Ended TEXT NOT NULL)"));
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
// catalogue's write lock.
bool ScanRuns::hasTable() const
{
    return !m_db.record(QStringLiteral("ScanRun")).isEmpty();
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
