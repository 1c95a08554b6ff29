#pragma once

#include <QSqlQuery>
#include <QVariantList>

class QSqlDatabase;

// One statement of the program's own, its values bound in order, its rows
// read forward only. Throws CatalogueError when it cannot be prepared or run.
class SqlStatement
{
public:
    static QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});
};
