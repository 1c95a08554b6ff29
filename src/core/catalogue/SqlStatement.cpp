#include "SqlStatement.h"
#include "CatalogueError.h"

#include <QSqlError>
#include <sqlite3.h>

QSqlQuery SqlStatement::run(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw CatalogueError(q.lastError().text());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    return q;
}

QSqlQuery SqlStatement::exec(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw CatalogueError(q.lastError().text());
    return q;
}

sqlite3_stmt *SqlStatement::persistent(sqlite3 *db, QByteArrayView sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(db, sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
    return statement;
}
