#include "HostStatistics.h"
#include "Catalogue.h"
#include "CatalogueError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {
// A folder is any row with the directory bit, read-only folders included.
const char *const FolderTest = "(Attr & 16) <> 0";

QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QString &host)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw CatalogueError(q.lastError().text());
    q.addBindValue(host);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    return q;
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
    m_totals = Totals();
    loadFolders();
    loadFileSums();
    loadTypes();
    rollUp();
}

void HostStatistics::loadFolders()
{
    m_folders.insert(0, Folder());
    QSqlQuery q = run(m_catalogue.database(),
                      QStringLiteral("SELECT ID, PID, Name FROM DB WHERE Host = ? AND %1").arg(QLatin1String(FolderTest)),
                      m_host);
    while (q.next()) {
        Folder &f = m_folders[q.value(0).toInt()];
        f.pid = q.value(1).toInt();
        f.name = q.value(2).toString();
        ++m_totals.folders;
    }
    for (auto it = m_folders.begin(); it != m_folders.end(); ++it) {
        const auto parent = m_folders.find(it->pid);
        if (it.key() != 0 && parent != m_folders.end())
            parent->subfolders.append(it.key());
    }
}

void HostStatistics::loadFileSums()
{
    QSqlQuery q = run(m_catalogue.database(),
                      QStringLiteral("SELECT PID, TOTAL(Size), COUNT(*) FROM DB WHERE Host = ? AND NOT %1 GROUP BY PID")
                          .arg(QLatin1String(FolderTest)),
                      m_host);
    while (q.next()) {
        const double bytes = q.value(1).toDouble();
        const qint64 count = q.value(2).toLongLong();
        m_totals.bytes += bytes;
        m_totals.entries += count;
        const auto f = m_folders.find(q.value(0).toInt());
        if (f == m_folders.end())
            continue; // files of a folder that is not stored: counted, but in no block
        f->ownBytes = bytes;
        f->ownFiles = count;
    }
    m_totals.entries += m_totals.folders;
}

void HostStatistics::loadTypes()
{
    m_types.clear();
    QSqlQuery q = run(m_catalogue.database(),
                      QStringLiteral("SELECT ext, TOTAL(Size), COUNT(*) FROM DB WHERE Host = ? AND NOT %1 GROUP BY ext")
                          .arg(QLatin1String(FolderTest)),
                      m_host);
    while (q.next())
        m_types.append({q.value(0).toString(), q.value(1).toDouble(), q.value(2).toLongLong()});
    std::sort(m_types.begin(), m_types.end(), [](const TypeShare &a, const TypeShare &b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.count > b.count;
    });
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

QList<HostStatistics::LargeFile> HostStatistics::largest(int n)
{
    QSqlQuery q = run(m_catalogue.database(),
                      QStringLiteral("SELECT ID, PID, Name, ext, Size FROM DB WHERE Host = ? AND NOT %1 "
                                     "AND Size IS NOT NULL ORDER BY Size DESC LIMIT %2")
                          .arg(QLatin1String(FolderTest))
                          .arg(n),
                      m_host);
    QList<LargeFile> files;
    while (q.next())
        files.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString(), q.value(3).toString(),
                      q.value(4).toDouble()});
    return files;
}

QString HostStatistics::lastScanText(const QStringList &logLines, const QString &host)
{
    const QString marker = QStringLiteral("Scanning of Host ") + host + QStringLiteral(" started:");
    for (auto it = logLines.crbegin(); it != logLines.crend(); ++it) {
        const qsizetype at = it->indexOf(marker);
        if (at >= 0)
            return it->mid(at + marker.size()).trimmed();
    }
    return QString();
}
