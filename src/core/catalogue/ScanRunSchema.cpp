#include "ScanRunSchema.h"
#include "SqlStatement.h"

#include <QSqlRecord>

namespace {
struct Column
{
    const char *name;
    const char *type;
};
// After Host, Started and Ended, which every ScanRun has.
constexpr Column Added[] = {{"Run", "BIGINT"},      {"Result", "TEXT"},      {"Entries", "BIGINT"},
                            {"Folders", "BIGINT"},  {"Added", "BIGINT"},     {"Changed", "BIGINT"},
                            {"Removed", "BIGINT"},  {"UnreadLines", "BIGINT"}, {"Method", "TEXT"},
                            {"Greeting", "TEXT"},   {"StartFolder", "TEXT"}};
} // namespace

QString ScanRunSchema::createTable()
{
    QString sql = QStringLiteral("CREATE TABLE IF NOT EXISTS ScanRun (Host TEXT NOT NULL, Started TEXT NOT NULL, "
                                 "Ended TEXT NOT NULL");
    for (const Column &c : Added)
        sql += QStringLiteral(", %1 %2").arg(QLatin1String(c.name), QLatin1String(c.type));
    return sql + u')';
}

// PostgreSQL keeps unquoted names in lower case, and its driver looks them
// up as given; SQLite takes either.
bool ScanRunSchema::hasColumn(const QSqlDatabase &db, const QString &table, const QString &column)
{
    return db.record(table.toLower()).contains(column.toLower());
}

void ScanRunSchema::upgrade(const QSqlDatabase &db)
{
    SqlStatement::exec(db, createTable());
    for (const Column &c : Added) {
        if (!hasColumn(db, QStringLiteral("ScanRun"), QLatin1String(c.name)))
            SqlStatement::exec(db, QStringLiteral("ALTER TABLE ScanRun ADD COLUMN %1 %2")
                                       .arg(QLatin1String(c.name), QLatin1String(c.type)));
    }
    SqlStatement::exec(db, QStringLiteral("UPDATE ScanRun SET Run = (SELECT COUNT(*) FROM ScanRun r "
                                          "WHERE r.Host = ScanRun.Host AND r.Started <= ScanRun.Started) "
                                          "WHERE Run IS NULL"));
    if (!hasColumn(db, QStringLiteral("ScanChange"), QStringLiteral("Run")))
        SqlStatement::exec(db, QStringLiteral("ALTER TABLE ScanChange ADD COLUMN Run BIGINT"));
    // What a host's latest scan changed belongs to its latest recorded run.
    SqlStatement::exec(db, QStringLiteral("UPDATE ScanChange SET Run = (SELECT MAX(r.Run) FROM ScanRun r "
                                          "WHERE r.Host = ScanChange.Host) WHERE Run IS NULL"));
    SqlStatement::exec(db, QStringLiteral("CREATE INDEX IF NOT EXISTS ScanRun_Host ON ScanRun(Host, Run)"));
}
