#pragma once
#include "CatalogueRecord.h"

#include <QString>
#include <QStringList>
#include <QUrl>

class Catalogue;

// Walks a record's parent links up to the host's top level and builds the
// texts the browser shows. A missing parent, or a loop in the links (possible
// after an edit in the SQL window), throws CatalogueError "Record Not Found".
class LineageWalk
{
public:
    explicit LineageWalk(Catalogue &catalogue)
        : m_catalogue(catalogue)
    {
    }

    // "Record path:\r" followed by "\name\r" per folder, top level first.
    QString recordPathText(qint32 pid);
    // The row's own host and real path, every segment percent-encoded;
    // a folder ends with "/".
    QUrl explorerUrl(const CatalogueRecord &row);
    struct Summary
    {
        QString path;
        QString size;
    };
    Summary recordSummary(qint32 id);
    static QString sizeText(double bytes);

private:
    // Ancestors from the top level down to the parent pid.
    QList<CatalogueRecord> ancestors(qint32 pid);
    CatalogueRecord lookUp(qint32 id);

    Catalogue &m_catalogue;
};
