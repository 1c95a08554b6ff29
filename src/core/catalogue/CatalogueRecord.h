#pragma once
#include <QString>
#include <QVariant>

class QSqlQuery;

// One row of table DB, as the lineage walks and the browser read it.
struct CatalogueRecord
{
    QString name;
    QString ext;
    QVariant size; // null only in catalogues stored before sizes were always numbers
    QString host;
    qint32 attr = 0;
    qint32 id = 0;
    qint32 pid = 0;
    QByteArray exact; // the name's bytes as listed

    // The current row of a query whose first columns are Name, ext, Size,
    // Host, Attr, ID, PID and the listed bytes, in that order.
    static CatalogueRecord fromColumns(const QSqlQuery &q);
};
