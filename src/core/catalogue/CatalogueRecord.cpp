#include "CatalogueRecord.h"

#include <QSqlQuery>

CatalogueRecord CatalogueRecord::fromColumns(const QSqlQuery &q)
{
    CatalogueRecord r;
    r.name = q.value(0).toString();
    r.ext = q.value(1).toString();
    r.size = q.value(2);
    r.host = q.value(3).toString();
    r.attr = q.value(4).toInt();
    r.id = q.value(5).toInt();
    r.pid = q.value(6).toInt();
    r.exact = q.value(7).toByteArray();
    return r;
}
