#include "CatalogueUpgrade.h"
#include "CatalogueError.h"
#include "EntryName.h"
#include "ExactNames.h"
#include "NameIndex.h"
#include "ScanRunSchema.h"
#include "SqlDialect.h"
#include "SqlStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {
int userVersion(const QSqlDatabase &db)
{
    QSqlQuery q = SqlStatement::exec(db, QStringLiteral("PRAGMA user_version"));
    return q.next() ? q.value(0).toInt() : 0;
}

struct ExtChange
{
    qint32 id;
    QString ext;
};

QList<ExtChange> extChanges(const QSqlDatabase &db)
{
    // Every ExactName row is read: there are few (cut names, upper-case
    // types, bytes that are not UTF-8), and no column tells a cut name.
    QSqlQuery rows = SqlStatement::run(db, QStringLiteral("SELECT x.ID, x.Bytes, d.Attr, d.ext, h.CodePage FROM ExactName x "
                                                          "JOIN DB d ON d.ID = x.ID LEFT JOIN HostCodePage h ON h.Host = d.Host"));
    QList<ExtChange> changes;
    while (rows.next()) {
        const QString listed = ExactNames::decode(rows.value(1).toByteArray(), rows.value(4).toString().toLatin1());
        if (listed.size() <= EntryName::NameSize)
            continue; // never cut: its ext came from the whole name already
        const EntryName split = EntryName::split(listed, quint32(rows.value(2).toInt()));
        if (split.ext != rows.value(3).toString())
            changes.append({rows.value(0).toInt(), split.ext});
    }
    return changes;
}
} // namespace

void CatalogueUpgrade::markSqliteCurrent(const QSqlDatabase &db)
{
    SqlStatement::exec(db, QStringLiteral("PRAGMA user_version = %1").arg(SqliteVersion));
}

int CatalogueUpgrade::takeExtFromExactNames(const QSqlDatabase &db)
{
    const QList<ExtChange> changes = extChanges(db);
    QSqlQuery update(db);
    if (!update.prepare(QStringLiteral("UPDATE DB SET ext = ? WHERE ID = ?")))
        throw CatalogueError(update.lastError().text());
    for (const ExtChange &c : changes) {
        update.bindValue(0, c.ext);
        update.bindValue(1, c.id);
        if (!update.exec())
            throw CatalogueError(update.lastError().text());
    }
    return int(changes.size());
}

// BEGIN IMMEDIATE: another writer's commit is waited for on the busy timeout.
void CatalogueUpgrade::upgradeSqlite(const QSqlDatabase &db)
{
    if (userVersion(db) >= SqliteVersion || sqlite3_db_readonly(SqlDialect::sqliteHandle(db), "main") == 1)
        return;
    SqlStatement::exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        const int version = userVersion(db); // another program's open may have upgraded it meanwhile
        if (version < 1) {
            NameIndex::dropFormer(db);
            takeExtFromExactNames(db);
        }
        if (version < 2)
            ScanRunSchema::upgrade(db);
        markSqliteCurrent(db);
        SqlStatement::exec(db, QStringLiteral("COMMIT"));
    } catch (const CatalogueError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}
