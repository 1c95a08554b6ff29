#pragma once
#include "core/catalogue/FolderPaths.h"
#include "core/catalogue/PathSearch.h"

#include <QJsonObject>
#include <QUrlQuery>

// /api/dupes: files that share a name and size (or a size alone), largest
// first, {"groups": [{"Size", "Copies", "results": [...]}], "next": cursor
// or null}. min_size, by (name,size or size), host, limit (groups, at most
// 100), after. A page ends where a size does, so that the next starts below
// it: one holds more than limit groups when more share its last size, fewer
// when the request's time ran out after the first (copies are rare among
// the largest files, so it may read far before it finds limit groups). A
// group shows at most 100 of its copies; Copies counts them all. Throws
// BadRequest and CatalogueError.
class ReadConnection;

class DupesApi
{
public:
    static constexpr int MostGroups = 100;
    // The largest files are the rarest to share a size, so the walk down
    // the sizes may take longer than a search's 5 s before its first group;
    // longer than this holds a thread of the pool from the searches.
    static constexpr int SearchMs = 15000;
    static constexpr int MostCopiesShown = 100;

    // paths: the thread's search, for the copies' addresses.
    static QJsonObject answer(ReadConnection &connection, const FolderPaths::CodePageOf &codePageOf,
                              PathSearch &paths, const QUrlQuery &query);
};
