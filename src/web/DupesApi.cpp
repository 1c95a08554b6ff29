#include "DupesApi.h"
#include "ApiParams.h"
#include "BadRequest.h"
#include "HitJson.h"
#include "core/catalogue/DuplicateSearch.h"

#include <QJsonArray>

QJsonObject DupesApi::answer(const QSqlDatabase &db, const FolderPaths::CodePageOf &codePageOf, PathSearch &paths,
                             const QUrlQuery &query)
{
    const ApiParams p(query, {"min_size", "by", "host", "limit"});
    DuplicateSearch::Options options;
    const QString by = p.has("by") ? p.value("by") : QStringLiteral("name,size");
    if (by != QLatin1String("name,size") && by != QLatin1String("size"))
        throw BadRequest(QStringLiteral("by takes name,size or size"));
    options.key = by == QLatin1String("size") ? DuplicateSearch::Key::Size : DuplicateSearch::Key::NameAndSize;
    options.minSize = p.size("min_size").value_or(options.minSize);
    options.host = p.value("host");
    const qint64 limit = p.limit(20);
    if (limit > MostGroups)
        throw BadRequest(QStringLiteral("limit takes a number from 1 to %1 here").arg(MostGroups));
    QJsonArray groups;
    DuplicateSearch(db, codePageOf).find(options, [&](const QList<PathSearch::Hit> &copies) {
        QJsonArray shown;
        for (const PathSearch::Hit &hit : copies.mid(0, MostCopiesShown))
            shown.append(HitJson::of(hit, paths));
        groups.append(QJsonObject{{"Size", QJsonValue::fromVariant(copies.first().row.size)},
                                  {"Copies", copies.size()},
                                  {"results", shown}});
        return groups.size() < limit;
    });
    return {{"groups", groups}};
}
