#pragma once
#include <QString>
#include <QVariant>

// One row of table DB, as the lineage walks and the browser read it.
struct CatalogueRecord
{
    QString name;
    QString ext;
    QVariant size; // null when the listing gave no valid size
    QString host;
    qint32 attr = 0;
    qint32 id = 0;
    qint32 pid = 0;
};
