#include "FolderPaths.h"
#include "CatalogueError.h"
#include "ExactNames.h"

#include <QSet>
#include <QSqlError>
#include <QVariant>

FolderPaths::FolderPaths(QSqlDatabase db, CodePageOf codePageOf, int capacity)
    : m_byId(db)
    , m_codePageOf(std::move(codePageOf))
    , m_capacity(qMax(1, capacity))
{
    m_byId.setForwardOnly(true);
    if (!m_byId.prepare(QStringLiteral("SELECT d.PID, d.Host, %1 FROM DB d LEFT JOIN ExactName x ON x.ID = d.ID "
                                       "WHERE d.ID = ?")
                            .arg(ExactNames::sqlBytes(db))))
        throw CatalogueError(m_byId.lastError().text());
}

QByteArray FolderPaths::codePage(const QString &host)
{
    auto it = m_codePages.constFind(host);
    if (it == m_codePages.cend())
        it = m_codePages.insert(host, m_codePageOf ? m_codePageOf(host) : QByteArray("latin1"));
    return *it;
}

std::optional<FolderPaths::Link> FolderPaths::lookUp(qint32 id)
{
    ++m_lookUps;
    m_byId.bindValue(0, id);
    if (!m_byId.exec())
        throw CatalogueError(m_byId.lastError().text());
    if (!m_byId.next())
        return std::nullopt;
    Link link{id, m_byId.value(0).toInt(), m_byId.value(1).toString(), m_byId.value(2).toByteArray()};
    m_byId.finish();
    return link;
}

// Full: forgotten all at once, which costs one walk up per folder met again.
void FolderPaths::remember(qint32 id, const QString &path)
{
    if (m_paths.size() >= m_capacity)
        m_paths.clear();
    m_paths.insert(id, path);
}

std::optional<QString> FolderPaths::path(qint32 id)
{
    if (id == 0)
        return std::nullopt;
    // Up to the first folder whose path is known, or to the top level.
    QList<Link> chain;
    QSet<qint32> seen;
    QString path;
    for (qint32 at = id;;) {
        if (const auto known = m_paths.constFind(at); known != m_paths.cend()) {
            path = *known;
            break;
        }
        if (at == 0 || seen.contains(at))
            return std::nullopt;
        seen.insert(at);
        const std::optional<Link> link = lookUp(at);
        if (!link)
            return std::nullopt;
        chain.append(*link);
        if (link->pid == 0) {
            path = link->host;
            break;
        }
        at = link->pid;
    }
    for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
        path += u'/' + ExactNames::decode(it->bytes, codePage(it->host));
        remember(it->id, path);
    }
    return path;
}
