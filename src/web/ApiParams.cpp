#include "ApiParams.h"
#include "BadRequest.h"
#include "core/catalogue/SearchTermText.h"

ApiParams::ApiParams(const QUrlQuery &query, const QStringList &known)
{
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!known.contains(name))
            throw BadRequest(QStringLiteral("Unknown parameter \"%1\"").arg(name.left(40)));
        if (m_values.contains(name))
            throw BadRequest(QStringLiteral("The parameter %1 is given twice").arg(name));
        if (value.size() > MostChars)
            throw BadRequest(QStringLiteral("The parameter %1 is longer than %2 characters").arg(name).arg(MostChars));
        m_values.insert(name, value);
    }
}

bool ApiParams::flag(const QString &name) const
{
    const QString v = value(name).toLower();
    if (!has(name) || v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("off")
        || v == QLatin1String("no"))
        return false;
    if (v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("on") || v == QLatin1String("yes")
        || v.isEmpty())
        return true;
    throw BadRequest(QStringLiteral("%1 takes 1 or 0").arg(name));
}

qint64 ApiParams::limit(qint64 fallback) const
{
    if (!has(QStringLiteral("limit")))
        return fallback;
    bool ok = false;
    const qint64 n = value(QStringLiteral("limit")).toLongLong(&ok);
    if (!ok || n < 1 || n > MostRows)
        throw BadRequest(QStringLiteral("limit takes a number from 1 to %1").arg(MostRows));
    return n;
}

SearchOrder ApiParams::order(SearchOrder::Key fallback) const
{
    const QString sort = value(QStringLiteral("sort")), way = value(QStringLiteral("order"));
    const std::optional<SearchOrder::Key> key = has(QStringLiteral("sort")) ? SearchOrder::keyNamed(sort) : fallback;
    if (!key)
        throw BadRequest(QStringLiteral("sort takes name, size, date, path or host"));
    if (has(QStringLiteral("order")) && way != QLatin1String("asc") && way != QLatin1String("desc"))
        throw BadRequest(QStringLiteral("order takes asc or desc"));
    const SearchOrder asked(*key, way == QLatin1String("desc"));
    if (!has(QStringLiteral("after")))
        return asked;
    const std::optional<SearchOrder> after = SearchOrder::fromCursor(value(QStringLiteral("after")));
    if (!after)
        throw BadRequest(QStringLiteral("after takes the cursor an answer gave as \"next\""));
    if ((has(QStringLiteral("sort")) && after->key() != *key)
        || (has(QStringLiteral("order")) && after->descending() != asked.descending()))
        throw BadRequest(QStringLiteral("The cursor belongs to another order than sort and order give"));
    return *after;
}

std::optional<qint64> ApiParams::size(const QString &name) const
{
    if (!has(name))
        return std::nullopt;
    const std::optional<qint64> bytes = SearchTermText::size(value(name));
    if (!bytes)
        throw BadRequest(QStringLiteral("%1 takes a size such as 700M or 5G").arg(name));
    return bytes;
}
