#pragma once
#include "CatalogueRecord.h"
#include "CatalogueQueries.h"
#include "FolderPaths.h"
#include "SearchTerms.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <functional>

class NameSearch;
class SearchOrder;

// Find by name pattern for people: each row with its full path,
// "host/folder/name", names as the server listed them. Rows go out as the
// query steps onto them, so the first one comes at once however large the
// catalogue; the folder paths they need are looked up through FolderPaths.
class PathSearch
{
public:
    struct Hit
    {
        CatalogueRecord row;
        double lac = 0; // the LAC field as stored (see LacTime)
        QString path;
        // False when a folder on the way up is missing: the path then starts
        // "host/?/" and ends with the row's own name.
        bool pathKnown = true;
    };
    // Told each row as it is found; returning false stops the find.
    using OnHit = std::function<bool(const Hit &)>;

    explicit PathSearch(QSqlDatabase db, FolderPaths::CodePageOf codePageOf = {});

    // type "ALL" means any type ("" is files without one), host empty means
    // every host, limit 0 means no limit. Uses the trigram index on names
    // when it can; the rows are LIKE's. Returns the rows told. Throws
    // CatalogueError.
    qint64 find(const QString &pattern, const QString &type, const QString &host, qint64 limit, const OnHit &onHit);
    // The rows that meet every term, below the folder under names
    // ("host/a/b", as find prints it; empty: anywhere).
    qint64 find(const SearchTerms &terms, const QString &under, qint64 limit, const OnHit &onHit);
    // The same rows in that order, from the order's start on.
    qint64 find(const SearchTerms &terms, const QString &under, const SearchOrder &order, qint64 limit,
                const OnHit &onHit);
    // The rows directly in the folder path names ("host/a/b", or "host" for
    // the host's top level), in that order; nothing when there is no such folder.
    std::optional<qint64> list(const QString &path, const SearchOrder &order, qint64 limit, const OnHit &onHit);
    // The hit's ftp:// address, every name percent-encoded from its listed
    // bytes, a folder's with a "/" last; empty when a folder on the way up
    // is missing.
    QByteArray url(const Hit &hit);
    // How many rows find() would tell, without their paths.
    qint64 count(const SearchTerms &terms, const QString &under);
    // The ID of the folder a path names ("host/a/b", names as find prints
    // them); nothing when the catalogue holds no such folder. Throws CatalogueError.
    std::optional<qint32> folderAt(const QString &path);
    // The hit a query's row gives, its columns as find selects them: Name,
    // ext, Size, Host, Attr, ID, PID, the listed bytes, LAC; without its
    // path, which addPath() looks up.
    static Hit rowFrom(const QSqlQuery &q);
    void addPath(Hit &hit);
    static QStringList fieldNames() { return {"Name", "ext", "Size", "Host", "Attr", "LAC", "ID", "PID"}; }
    // The statement of find(terms, under), for a view that reads it a page
    // at a time: table DB's columns, without paths. Throws CatalogueError.
    CatalogueQueries::Statement rowsStatement(const SearchTerms &terms, const QString &under)
    {
        return statement(terms, under);
    }

private:
    Hit hitAt(const QSqlQuery &q);
    CatalogueQueries::Statement statement(const SearchTerms &terms, const QString &under);
    NameSearch names();
    qint64 tell(CatalogueQueries::Statement st, const SearchOrder &order, qint64 limit, const OnHit &onHit);

    QSqlDatabase m_db;
    FolderPaths m_folders;
    std::optional<bool> m_hasNameIndex;
};
