#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

class ScanConnection;

// Tells a folder from a link to it when a listing does not. Some servers'
// MLSD show a link to a folder as an ordinary folder with its target's
// "unique" fact, so the same folder turns up under two paths. When a unique
// fact repeats, the two parents are listed with LIST, whose mode column
// marks a link with "l"; the folder's contents belong under the real path.
class LinkResolver
{
public:
    explicit LinkResolver(ScanConnection &connection)
        : m_connection(connection)
    {
    }

    // Folders whose unique fact is remembered at most: about 30 MB with
    // their paths. Past it, a link to a folder met later is listed as a
    // folder of its own, as on a server that gives no unique facts.
    static constexpr qsizetype MostFolders = 200000;

    enum class Verdict {
        Descend,        // first time this folder is met, or no unique fact
        PassOver,       // met before under another path, and this one is the link
        DescendInstead, // met before under a link's path: list this one, drop the earlier
    };
    struct Decision
    {
        Verdict verdict = Verdict::Descend;
        QByteArray earlier; // DescendInstead: the link's path
    };

    void clear();
    bool seen(const QByteArray &unique) const { return m_paths.contains(unique); }
    // path: the folder's listed bytes joined by "/", no leading "/".
    Decision meet(const QByteArray &unique, const QByteArray &path);
    bool underLink(const QByteArray &path) const;

private:
    bool isLink(const QByteArray &path);

    ScanConnection &m_connection;
    QHash<QByteArray, QByteArray> m_paths; // unique fact -> the path it is listed under
    QHash<QByteArray, QSet<QByteArray>> m_linksIn; // parent path -> names LIST marks as links
    QList<QByteArray> m_links;
};
