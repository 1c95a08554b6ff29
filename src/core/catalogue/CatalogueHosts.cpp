#include "CatalogueHosts.h"
#include "Catalogue.h"
#include "ScanRuns.h"
#include "SqlDialect.h"
#include "SqlStatement.h"

#include <QSqlQuery>
#include <sqlite3.h>

// A pass over every row: about a third of a second for a million.
QList<CatalogueHosts::Host> CatalogueHosts::all(Catalogue &catalogue)
{
    catalogue.flush(); // rows a scan still holds back count too
    const QSqlDatabase db = catalogue.database();
    const QHash<QString, ScanRuns::Status> runs = ScanRuns(db).statusByHost();
    QSqlQuery q = SqlStatement::run(db, QStringLiteral("SELECT Host, COUNT(*), SUM(CASE WHEN Attr = 16 THEN 0 ELSE Size END) "
                                                       "FROM DB WHERE Host IS NOT NULL GROUP BY Host ORDER BY Host"));
    QList<Host> hosts;
    while (q.next()) {
        const QString name = q.value(0).toString();
        const ScanRun last = runs.value(name).last;
        hosts.append({name, q.value(1).toLongLong(), q.value(2).toDouble(), last.started, ScanRun::resultText(last.result)});
    }
    return hosts;
}

// SQLite's data_version moves with other connections' commits, the
// connection's own change count with its own.
std::optional<QByteArray> CatalogueHosts::version(Catalogue &catalogue)
{
    sqlite3 *handle = SqlDialect::sqliteHandle(catalogue.database());
    if (!handle || !catalogue.isOpen())
        return std::nullopt;
    QSqlQuery q = SqlStatement::run(catalogue.database(), QStringLiteral("PRAGMA data_version"));
    const qint64 others = q.next() ? q.value(0).toLongLong() : -1;
    return QByteArray::number(others) + '/' + QByteArray::number(sqlite3_total_changes64(handle));
}

bool CatalogueHosts::holds(Catalogue &catalogue, const QString &host)
{
    if (host.isEmpty())
        return false;
    catalogue.flush();
    const QSqlDatabase db = catalogue.database();
    // Without the host index an absent host costs a pass over every row.
    QSqlQuery q = SqlStatement::run(db, QStringLiteral("SELECT 1 FROM DB WHERE %1 = ? LIMIT 1").arg(SqlDialect::hostRowsKey(db)),
                                    {host.left(Catalogue::HostSize)});
    return q.next();
}
