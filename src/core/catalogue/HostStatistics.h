#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class Catalogue;
struct sqlite3_stmt;

// What one host holds, at a glance: totals, the share of each file type, the
// folder tree by size and the largest files. The host's rows are read once,
// through the index of a host's rows, summed per folder and per type and
// sifted for the largest files as they come; folder sizes are rolled up in
// memory from one sum per folder. A host of 1,000,000 entries costs one pass
// over its own rows, whatever else the catalogue holds.
class HostStatistics
{
public:
    struct Totals
    {
        qint64 entries = 0;
        qint64 folders = 0;
        double bytes = 0; // files only; unknown sizes count as 0
    };
    struct TypeShare
    {
        QString ext; // "other" gathers what is past the top ones
        double bytes = 0;
        qint64 count = 0;
    };
    // One block of the treemap: a subfolder with everything below it, or the
    // files lying directly in the folder (id 0).
    struct Block
    {
        qint32 id = 0;
        QString name;
        double bytes = 0;
        qint64 entries = 0;
        bool isFolder() const { return id != 0; }
    };
    struct LargeFile
    {
        qint32 id = 0;
        qint32 pid = 0;
        QString name;
        QString ext;
        double bytes = 0;
    };

    HostStatistics(Catalogue &catalogue, const QString &host);

    // Runs the aggregate queries. Throws CatalogueError.
    void load();
    const Totals &totals() const { return m_totals; }
    // By bytes, largest first; the rest summed into one share named "other".
    QList<TypeShare> byType(int top = 15) const;
    // The folder's blocks (0 for the host's top level), largest first.
    QList<Block> children(qint32 folderId) const;
    QString folderName(qint32 id) const { return m_folders.value(id).name; }
    qint32 parentOf(qint32 id) const { return m_folders.value(id).pid; }
    // Largest first, at most LargestKept.
    QList<LargeFile> largest(int n = LargestKept) const { return m_largest.mid(0, n); }
    static constexpr int LargestKept = 20;

private:
    struct Folder
    {
        qint32 pid = 0;
        QString name;
        double ownBytes = 0; // files directly inside
        qint64 ownFiles = 0;
        double treeBytes = 0; // everything below
        qint64 treeEntries = 0;
        QList<qint32> subfolders;
    };
    void scanRows();
    void scanRowsByQuery();
    void addFolder(qint32 id, qint32 pid, const QString &name);
    void addFile(qint32 pid, double size, const QByteArray &ext, QHash<QByteArray, TypeShare> &types);
    void sortTypes(const QHash<QByteArray, TypeShare> &types);
    bool isLarge(double size) const;
    void keepLarge(const LargeFile &file);
    void linkFolders();
    void rollUp();
    struct Sums
    {
        double bytes = 0;
        qint64 count = 0;
    };

    Catalogue &m_catalogue;
    QString m_host;
    Totals m_totals;
    QHash<qint32, Folder> m_folders; // key 0: the host's top level
    QList<TypeShare> m_types;
    QHash<qint32, Sums> m_fileSums; // by PID, while loading
    // The last folder's sums: only an insert moves them, and inserts come
    // only with a new folder, which looks them up again.
    Sums *m_lastSums = nullptr;
    qint32 m_lastPid = 0;
    QList<LargeFile> m_largest;
};
