#pragma once
#include "core/catalogue/FolderPaths.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/SearchOrder.h"

#include <QJsonObject>
#include <QUrlQuery>

class ApiParams;

// /api/search and /api/folder: a page of rows, {"results": [...], "next":
// cursor or null}, the cursor passed back as after= for the next page.
// Throws BadRequest for a request that cannot be asked, CatalogueError for
// what failed in the catalogue.
class SearchApi
{
public:
    explicit SearchApi(PathSearch &search)
        : m_search(search)
    {
    }

    // q, regex, type, kind, host, under, min_size, max_size, newer, older,
    // sort (default name), order, limit, after.
    QJsonObject search(const QUrlQuery &query);
    // path ("host" or "host/a/b"): the folder's own rows; sort, order, limit, after.
    QJsonObject folder(const QUrlQuery &query);

private:
    using Run = std::function<void(qint64 rows, const PathSearch::OnHit &onHit)>;
    static SearchTerms termsOf(const ApiParams &params);
    QJsonObject page(const SearchOrder &order, qint64 limit, const Run &run);

    PathSearch &m_search;
};
