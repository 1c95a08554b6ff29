#include "LinkResolver.h"
#include "ScanConnection.h"

void LinkResolver::clear()
{
    m_paths.clear();
    m_linksIn.clear();
    m_links.clear();
}

bool LinkResolver::underLink(const QByteArray &path) const
{
    for (const QByteArray &link : m_links)
        if (path == link || path.startsWith(link + '/'))
            return true;
    return false;
}

LinkResolver::Decision LinkResolver::meet(const QByteArray &unique, const QByteArray &path)
{
    if (unique.isEmpty())
        return {};
    const auto it = m_paths.constFind(unique);
    if (it == m_paths.constEnd()) {
        if (m_paths.size() < MostFolders)
            m_paths.insert(unique, path);
        return {};
    }
    const QByteArray earlier = it.value();
    if (underLink(path) || isLink(path)) {
        if (!underLink(path))
            m_links.append(path);
        return {Verdict::PassOver, {}};
    }
    if (underLink(earlier) || isLink(earlier)) {
        if (!underLink(earlier))
            m_links.append(earlier);
        m_paths.insert(unique, path);
        return {Verdict::DescendInstead, earlier};
    }
    // Neither is a link (the same folder mounted twice): listed once, as before.
    return {Verdict::PassOver, {}};
}

bool LinkResolver::isLink(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray() : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    auto it = m_linksIn.find(parent);
    if (it == m_linksIn.end()) {
        QSet<QByteArray> links;
        for (const FileEntry &e : m_connection.listWithModes(parent).entries)
            if (e.isLink())
                links.insert(e.wireName);
        it = m_linksIn.insert(parent, links);
    }
    return it->contains(name);
}
