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
template <typename Text>
void FolderPaths::remember(QHash<qint32, Text> &kept, qint32 id, const Text &text)
{
    if (kept.size() >= m_capacity)
        kept.clear();
    kept.insert(id, text);
}

std::optional<QString> FolderPaths::path(qint32 id)
{
    return resolve<QString>(id, m_paths, [](const Link &top) { return top.host; },
                            [this](const Link &l) { return u'/' + ExactNames::decode(l.bytes, codePage(l.host)); });
}

// Each name percent-encoded from its listed bytes: "/", "#", "?", "%", a
// space and bytes that are not UTF-8 all travel as %XX.
std::optional<QByteArray> FolderPaths::urlPath(qint32 id)
{
    return resolve<QByteArray>(id, m_urlPaths, [](const Link &) { return QByteArray(); },
                               [](const Link &l) { return '/' + l.bytes.toPercentEncoding(); });
}

// Up to the first folder whose text is known, or to the top level, then
// down again adding each folder's step.
template <typename Text>
std::optional<Text> FolderPaths::resolve(qint32 id, QHash<qint32, Text> &kept, const std::function<Text(const Link &)> &top,
                                         const std::function<Text(const Link &)> &step)
{
    if (id == 0)
        return std::nullopt;
    QList<Link> chain;
    QSet<qint32> seen;
    Text text;
    for (qint32 at = id;;) {
        if (const auto known = kept.constFind(at); known != kept.cend()) {
            text = *known;
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
            text = top(*link);
            break;
        }
        at = link->pid;
    }
    for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
        text += step(*it);
        remember(kept, it->id, text);
    }
    return text;
}
