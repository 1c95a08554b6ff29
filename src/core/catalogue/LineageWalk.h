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
    // The row's own host and real path: every name's listed bytes,
    // percent-encoded; a folder ends with "/".
    QUrl explorerUrl(const CatalogueRecord &row);
    // The listed bytes of the row's names from the top level down, joined by "/".
    QByteArray exactPathBytes(const CatalogueRecord &row);
    // "//host/a/b/c" with the names as listed, decoded for reading with the
    // host's code page (setCodePage) where they are not UTF-8.
    QString exactPath(const CatalogueRecord &row);
    static QString decodePath(const QByteArray &path, const QByteArray &codePage);
    void setCodePage(const QByteArray &codePage) { m_codePage = codePage; }
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
    QByteArray ownBytes(const CatalogueRecord &row);

    Catalogue &m_catalogue;
    QByteArray m_codePage;
};
