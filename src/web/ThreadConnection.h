#pragma once
#include "core/catalogue/FolderPaths.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/ReadConnection.h"

#include <QString>

// Each thread of the server's pool keeps a read connection of its own,
// opened on the thread's first request and closed as the thread ends, and
// a search on it whose folder paths serve the next requests too: the rows
// of a page need the paths of their folders, and most were looked up by an
// earlier page. The search is made anew each minute, so a folder a scan
// renamed shows its new name within that time.
class ThreadConnection
{
public:
    static constexpr qint64 SearchKeptMs = 60000;

    // This thread's connection to where. Throws CatalogueError.
    static ReadConnection &get(const QString &where, int timeoutMs);
    // This thread's search on that connection. Throws CatalogueError.
    static PathSearch &search(const QString &where, int timeoutMs, const FolderPaths::CodePageOf &codePageOf);
};
