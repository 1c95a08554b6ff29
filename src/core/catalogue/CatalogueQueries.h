#pragma once
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

class NameSearch;

// The catalogue's questions, asked the same way by the desktop program and
// harvex-cli: a host's folder tree, find, the host summary and row counts.
// Reads only; any connection to the catalogue will do.
class CatalogueQueries
{
public:
    // The browser's tree matches its caption with LIKE (so "%" in a host
    // name matches as it always has); the command line names a host exactly.
    enum class HostMatch { Exact, Like };

    struct Folder
    {
        qint32 id = 0;
        qint32 pid = 0;
        QString name;
        int depth = 0; // 0 at the host's top level
    };

    // A statement and its values in order, for a QSqlQuery or a grid's data set.
    struct Statement
    {
        QString sql;
        QVariantList params;
    };

    explicit CatalogueQueries(const QSqlDatabase &db);

    // Every folder of host, depth first, each folder's children in the order
    // they were stored. Throws CatalogueError.
    QList<Folder> folderTree(const QString &host, HostMatch match) const;
    // The folders directly in each of parents (0: the host's top level),
    // each parent's together, parents in the order given, and each parent's
    // in name order as people read them: case-insensitive, in the user's
    // language, numbers by value; equal names in the order they were stored.
    // Throws CatalogueError.
    QList<Folder> subfolders(const QString &host, HostMatch match, const QList<qint32> &parents) const;
    // The folders from the host's top level down to folder id, id last; empty
    // when id is no folder of host or its parent links do not reach the top
    // level. Throws CatalogueError.
    QList<qint32> folderLineage(const QString &host, HostMatch match, qint32 id) const;
    // type "ALL" means any type ("" is files without one); host empty means every host.
    // With a search, the name condition uses the catalogue's trigram index
    // when it can; the rows are the same.
    static Statement find(const QString &pattern, const QString &type, const QString &host = QString(),
                          const NameSearch *search = nullptr);
    // One row per host: Host, Rows, TotalSize.
    static Statement hostSummary();
    // The number of rows the statement returns: COUNT(*) over it as a
    // subquery, which SQLite answers from an index without reading the rows,
    // or, for a statement that cannot be one (PRAGMA, EXPLAIN), by stepping
    // through them once; 0 for a statement that writes (it is never run
    // twice). Throws CatalogueError.
    qint64 countRows(const Statement &st) const;
    // True when the statement only reads. Throws CatalogueError when it does not compile.
    bool isReadOnly(const QString &sql) const;

private:
    QString hostCondition(HostMatch match) const;
    QList<Folder> subfoldersOf(const QString &host, HostMatch match, const QList<qint32> &parents) const;
    qint64 countRowsByQuery(const Statement &st) const;
    static bool readsByItsWord(const QString &sql);

    QSqlDatabase m_db;
};
