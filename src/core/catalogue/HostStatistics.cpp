#include "HostStatistics.h"
#include "SqlStatement.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <sqlite3.h>

namespace {
QString text(sqlite3_stmt *row, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, column)),
                             sqlite3_column_bytes(row, column));
}
} // namespace

HostStatistics::HostStatistics(Catalogue &catalogue, const QString &host)
    : m_catalogue(catalogue)
    , m_host(host.left(Catalogue::HostSize))
{
}

void HostStatistics::load()
{
    m_catalogue.flush();
    m_folders.clear();
    m_types.clear();
    m_largest.clear();
    m_fileSums.clear(); // a load that failed halfway leaves its sums
    m_lastSums = nullptr;
    m_totals = Totals();
    m_folders.insert(0, Folder());
    scanRows();
    linkFolders();
    rollUp();
}

// One pass over the host's rows, read through the index of a host's rows
// (+Host asks for it) in storage order, summing folders and types in two
// small hash tables. Grouping in SQL sorts every row it groups: measured on a
// host of 1,000,000 entries in a catalogue of 13,000,000, the GROUP BY by
// type alone took longer than this whole pass. SQLite's own API: a QVariant
// per value would cost as much again.
void HostStatistics::addFolder(qint32 id, qint32 pid, const QString &name)
{
    Folder &f = m_folders[id];
    f.pid = pid;
    f.name = name;
    ++m_totals.folders;
}

void HostStatistics::addFile(qint32 pid, double size, const QByteArray &ext, QHash<QByteArray, TypeShare> &types)
{
    // A folder's files come one after another: one look-up per folder.
    if (!m_lastSums || pid != m_lastPid) {
        m_lastSums = &m_fileSums[pid];
        m_lastPid = pid;
    }
    m_lastSums->bytes += size;
    ++m_lastSums->count;
    auto t = types.find(ext);
    if (t == types.end())
        t = types.insert(QByteArray(ext.constData(), ext.size()), TypeShare{QString::fromUtf8(ext), 0, 0});
    t->bytes += size;
    ++t->count;
    m_totals.bytes += size;
    ++m_totals.entries;
}

void HostStatistics::sortTypes(const QHash<QByteArray, TypeShare> &types)
{
    m_totals.entries += m_totals.folders;
    m_types = types.values();
    std::sort(m_types.begin(), m_types.end(), [](const TypeShare &a, const TypeShare &b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.count > b.count;
    });
}

// PostgreSQL: the same pass through QtSql.
void HostStatistics::scanRowsByQuery()
{
    QSqlQuery q = SqlStatement::run(m_catalogue.database(),
                                    QStringLiteral("SELECT Attr, PID, Size, ext, ID, Name FROM DB WHERE Host = ?"), {m_host});
    QHash<QByteArray, TypeShare> types;
    while (q.next()) {
        const qint32 id = q.value(4).toInt();
        const qint32 pid = q.value(1).toInt();
        if (q.value(0).toInt() & 16) {
            addFolder(id, pid, q.value(5).toString());
            continue;
        }
        const double size = q.value(2).toDouble();
        const QString ext = q.value(3).toString();
        addFile(pid, size, ext.toUtf8(), types);
        if (!q.value(2).isNull() && isLarge(size))
            keepLarge({id, pid, q.value(5).toString(), ext, size});
    }
    sortTypes(types);
}

void HostStatistics::scanRows()
{
    sqlite3 *db = SqlDialect::sqliteHandle(m_catalogue.database());
    if (!db)
        return scanRowsByQuery();
    sqlite3_stmt *st = nullptr;
    const char *sql = "SELECT Attr, PID, Size, ext, ID, Name FROM DB WHERE +Host = ?";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
    const QByteArray host = m_host.toUtf8();
    sqlite3_bind_text(st, 1, host.constData(), int(host.size()), SQLITE_STATIC);
    QHash<QByteArray, TypeShare> types;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const qint32 id = sqlite3_column_int(st, 4);
        const qint32 pid = sqlite3_column_int(st, 1);
        if (sqlite3_column_int(st, 0) & 16) {
            addFolder(id, pid, text(st, 5));
            continue;
        }
        const double size = sqlite3_column_double(st, 2); // unknown (NULL) reads as 0
        addFile(pid, size,
                QByteArray::fromRawData(reinterpret_cast<const char *>(sqlite3_column_text(st, 3)),
                                        sqlite3_column_bytes(st, 3)),
                types);
        // Past the first few thousand rows, almost every file is turned
        // away by one comparison, before its name is read.
        if (sqlite3_column_type(st, 2) != SQLITE_NULL && isLarge(size))
            keepLarge({id, pid, text(st, 5), text(st, 3), size});
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
    sortTypes(types);
}

bool HostStatistics::isLarge(double size) const
{
    return m_largest.size() < LargestKept || size > m_largest.last().bytes;
}

// The largest files so far, largest first; of equal sizes the first stored
// stays ahead.
void HostStatistics::keepLarge(const LargeFile &file)
{
    const auto at = std::upper_bound(m_largest.begin(), m_largest.end(), file.bytes,
                                     [](double s, const LargeFile &f) { return s > f.bytes; });
    m_largest.insert(at, file);
    if (m_largest.size() > LargestKept)
        m_largest.removeLast();
}

// Each folder under its parent, with the files lying directly in it. Files
// or folders whose parent is not stored count in the totals, in no block.
void HostStatistics::linkFolders()
{
    for (auto it = m_folders.begin(); it != m_folders.end(); ++it) {
        const Sums own = m_fileSums.value(it.key());
        it->ownBytes = own.bytes;
        it->ownFiles = own.count;
        const auto parent = m_folders.find(it->pid);
        if (it.key() != 0 && parent != m_folders.end())
            parent->subfolders.append(it.key());
    }
    m_fileSums.clear();
    m_lastSums = nullptr;
}

// Depth first from the top level, each folder after everything below it.
void HostStatistics::rollUp()
{
    QList<QPair<qint32, bool>> stack{{0, false}};
    while (!stack.isEmpty()) {
        const auto [id, childrenDone] = stack.takeLast();
        Folder &f = m_folders[id];
        if (!childrenDone) {
            stack.append({id, true});
            for (qint32 child : f.subfolders)
                stack.append({child, false});
            continue;
        }
        f.treeBytes = f.ownBytes;
        f.treeEntries = f.ownFiles;
        for (qint32 child : f.subfolders) {
            const Folder &c = m_folders[child];
            f.treeBytes += c.treeBytes;
            f.treeEntries += c.treeEntries + 1;
        }
    }
}

QList<HostStatistics::TypeShare> HostStatistics::byType(int top) const
{
    QList<TypeShare> shares = m_types.mid(0, top);
    if (m_types.size() <= top)
        return shares;
    TypeShare other{QStringLiteral("other"), 0, 0};
    for (qsizetype i = top; i < m_types.size(); ++i) {
        other.bytes += m_types[i].bytes;
        other.count += m_types[i].count;
    }
    shares.append(other);
    return shares;
}

QList<HostStatistics::Block> HostStatistics::children(qint32 folderId) const
{
    QList<Block> blocks;
    const auto f = m_folders.constFind(folderId);
    if (f == m_folders.constEnd())
        return blocks;
    for (qint32 child : f->subfolders) {
        const Folder &c = m_folders[child];
        blocks.append({child, c.name, c.treeBytes, c.treeEntries + 1});
    }
    if (f->ownFiles > 0)
        blocks.append({0, QStringLiteral("files"), f->ownBytes, f->ownFiles});
    std::sort(blocks.begin(), blocks.end(), [](const Block &a, const Block &b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.name < b.name;
    });
    return blocks;
}
