#include "SavedSearches.h"
#include "core/base/IniFile.h"

namespace {
const QString History = QStringLiteral("FIND HISTORY");
const QString Count = QStringLiteral("Count");
const QString Saved = QStringLiteral("SAVED SEARCHES");
} // namespace

SavedSearches::SavedSearches(IniFile &settings)
    : m_settings(settings)
{
}

QList<SearchRequest> SavedSearches::recent() const
{
    QList<SearchRequest> list;
    const int n = qMin(MaxRecent, m_settings.readInt(History, Count, 0));
    for (int i = 1; i <= n; ++i) {
        const QString text = m_settings.readString(History, QString::number(i), QString());
        if (!text.isEmpty())
            list << SearchRequest::decode(text);
    }
    return list;
}

void SavedSearches::remember(const SearchRequest &request)
{
    QList<SearchRequest> list = recent();
    list.removeAll(request);
    list.prepend(request);
    const int before = m_settings.readInt(History, Count, 0);
    const int n = int(qMin<qsizetype>(MaxRecent, list.size()));
    m_settings.writeInt(History, Count, n);
    for (int i = 1; i <= n; ++i)
        m_settings.writeString(History, QString::number(i), list[i - 1].encode());
    for (int i = n + 1; i <= before; ++i)
        m_settings.remove(History, QString::number(i));
}

QStringList SavedSearches::names() const
{
    return m_settings.keys(Saved);
}

std::optional<SearchRequest> SavedSearches::saved(const QString &name) const
{
    if (!m_settings.hasKey(Saved, name))
        return std::nullopt;
    return SearchRequest::decode(m_settings.readString(Saved, name, QString()));
}

bool SavedSearches::validName(const QString &name)
{
    if (name.trimmed().isEmpty() || name.trimmed() != name)
        return false;
    for (const QChar c : name) {
        if (c == u'=' || c == u'[' || c == u']' || c == u'\n' || c == u'\r' || c == u';')
            return false;
    }
    return true;
}

bool SavedSearches::save(const QString &name, const SearchRequest &request)
{
    if (!validName(name))
        return false;
    m_settings.writeString(Saved, name, request.encode());
    return true;
}

void SavedSearches::remove(const QString &name)
{
    m_settings.remove(Saved, name);
}
