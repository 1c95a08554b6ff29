#include "DupesApi.h"
#include "ApiParams.h"
#include "BadRequest.h"
#include "HitJson.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/DuplicateSearch.h"
#include "core/catalogue/ReadConnection.h"

#include <QJsonArray>

QJsonObject DupesApi::answer(ReadConnection &connection, const FolderPaths::CodePageOf &codePageOf,
                             PathSearch &paths, const QUrlQuery &query)
{
    const ApiParams p(query, {"min_size", "by", "host", "limit", "after"});
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
    if (p.has("after")) {
        bool ok = false;
        options.below = p.value("after").toLongLong(&ok);
        if (!ok)
            throw BadRequest(QStringLiteral("after takes the cursor an answer gave as \"next\""));
    }
    QJsonArray groups;
    QJsonValue next;
    qint64 lastSize = 0;
    const auto group = [&](const QList<PathSearch::Hit> &copies) {
        const qint64 size = copies.first().row.size.toLongLong();
        if (groups.size() >= limit && size != lastSize) {
            next = QString::number(lastSize);
            return false;
        }
        lastSize = size;
        QJsonArray shown;
        for (const PathSearch::Hit &hit : copies.mid(0, MostCopiesShown))
            shown.append(HitJson::of(hit, paths));
        groups.append(QJsonObject{{"Size", QJsonValue::fromVariant(copies.first().row.size)},
                                  {"Copies", copies.size()},
                                  {"results", shown}});
        return true;
    };
    // A size's groups are all told before the next size is read, so a
    // search stopped by the time goes on below the last size told.
    connection.startRequest(SearchMs);
    try {
        DuplicateSearch(connection.database(), codePageOf).find(options, group);
    } catch (const CatalogueError &) {
        if (groups.isEmpty() || !connection.timedOut())
            throw;
        next = QString::number(lastSize);
    }
    return {{"groups", groups}, {"next", next}};
}
