#include "SearchApi.h"
#include "ApiParams.h"
#include "BadRequest.h"
#include "HitJson.h"
#include "core/catalogue/SearchStatement.h"
#include "core/catalogue/SearchTermText.h"

#include <QJsonArray>

SearchTerms SearchApi::termsOf(const ApiParams &p)
{
    SearchTerms t;
    if (!p.value("q").isEmpty())
        t.pattern = p.value("q");
    t.regex = p.flag("regex");
    if (p.has("type"))
        t.types = p.value("type").split(u',');
    t.host = p.value("host");
    const QString kind = p.value("kind");
    if (p.has("kind") && kind != QLatin1String("files") && kind != QLatin1String("folders"))
        throw BadRequest(QStringLiteral("kind takes files or folders"));
    t.kind = !p.has("kind") ? SearchTerms::Kind::Any
        : kind == QLatin1String("files") ? SearchTerms::Kind::Files
                                         : SearchTerms::Kind::Folders;
    t.minSize = p.size("min_size");
    t.maxSize = p.size("max_size");
    for (const auto &[name, bound] : {std::pair{"newer", &t.newer}, std::pair{"older", &t.older}}) {
        if (!p.has(name))
            continue;
        *bound = SearchTermText::time(p.value(name));
        if (!bound->isValid())
            throw BadRequest(QStringLiteral("%1 takes a date (2024-01-31) or an age (30d, 12h, 2w)").arg(name));
    }
    if (const QString why = SearchStatement::problem(t); !why.isEmpty())
        throw BadRequest(why);
    return t;
}

QJsonObject SearchApi::search(const QUrlQuery &query)
{
    const ApiParams p(query, {"q", "regex", "type", "kind", "host", "under", "min_size", "max_size", "newer", "older",
                              "sort", "order", "limit", "after"});
    const SearchTerms terms = termsOf(p);
    const SearchOrder order = p.order(SearchOrder::Key::Name);
    const QString under = p.value("under");
    return page(order, p.limit(), [&](qint64 rows, const PathSearch::OnHit &onHit) {
        m_search.find(terms, under, order, rows, onHit);
    });
}

QJsonObject SearchApi::folder(const QUrlQuery &query)
{
    const ApiParams p(query, {"path", "sort", "order", "limit", "after"});
    const QString path = p.value("path");
    const SearchOrder order = p.order(SearchOrder::Key::Name);
    QJsonObject answer = page(order, p.limit(100), [&](qint64 rows, const PathSearch::OnHit &onHit) {
        if (!m_search.list(path, order, rows, onHit))
            throw BadRequest(QStringLiteral("The catalogue holds no folder %1").arg(path.left(200)), 404);
    });
    answer.insert("path", path);
    return answer;
}

// One row more than the page holds tells whether another page follows.
QJsonObject SearchApi::page(const SearchOrder &order, qint64 limit, const Run &run)
{
    QJsonArray results;
    QString next;
    CatalogueRecord last;
    double lastLac = 0;
    run(limit + 1, [&](const PathSearch::Hit &hit) {
        if (results.size() == limit) {
            next = order.cursorAfter(last, lastLac);
            return false;
        }
        results.append(HitJson::of(hit, m_search));
        last = hit.row;
        lastLac = hit.lac;
        return true;
    });
    return {{"results", results}, {"next", next.isEmpty() ? QJsonValue() : QJsonValue(next)}};
}
