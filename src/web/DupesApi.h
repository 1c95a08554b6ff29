#pragma once
#include "core/catalogue/FolderPaths.h"
#include "core/catalogue/PathSearch.h"

#include <QJsonObject>
#include <QSqlDatabase>
#include <QUrlQuery>

// /api/dupes: files that share a name and size (or a size alone), largest
// first, {"groups": [{"Size", "Copies", "results": [...]}], "next": cursor
// or null}. min_size, by (name,size or size), host, limit (groups, at most
// 100), after. A page ends where a size does, so that the next starts below
// it: one holds more than limit groups when more share its last size. A
// group shows at most 100 of its copies; Copies counts them all. Throws
// BadRequest and CatalogueError.
class DupesApi
{
public:
    static constexpr int MostGroups = 100;
    static constexpr int MostCopiesShown = 100;

    // paths: the thread's search, for the copies' addresses.
    static QJsonObject answer(const QSqlDatabase &db, const FolderPaths::CodePageOf &codePageOf, PathSearch &paths,
                              const QUrlQuery &query);
};
