#include "SqlStatement.h"
#include "CatalogueError.h"

#include <QSqlError>

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
