#pragma once
#include "PathSearch.h"

#include <QList>
#include <optional>

// Files that look like copies of each other, across folders and servers:
// the same size and, unless only the size is asked for, the same name as
// listed. Groups come largest first, each as soon as its size is passed,
// read along the size index: the first group of a catalogue of ten million
// rows shows at once, whatever follows.
class DuplicateSearch
{
public:
    enum class Key { NameAndSize, Size };
    struct Options
    {
        Key key = Key::NameAndSize;
        // Empty files are alike without being copies: 1 byte unless set.
        qint64 minSize = 1;
        QString host; // empty: every host
        // Only sizes below this: the groups after those of this size, for
        // the next page of a list that ended at it.
        std::optional<qint64> below;
    };
    // Told each group of two or more; returning false stops the search.
    using OnGroup = std::function<bool(const QList<PathSearch::Hit> &)>;

    explicit DuplicateSearch(QSqlDatabase db, FolderPaths::CodePageOf codePageOf = {});

    // Returns the groups told. Throws CatalogueError.
    qint64 find(const Options &options, const OnGroup &onGroup);

private:
    // The rows of one size, grouped and told; false when told to stop.
    bool tellSize(const QList<PathSearch::Hit> &rows, Key key, const OnGroup &onGroup, qint64 &told);
    bool tellGroup(QList<PathSearch::Hit> copies, const OnGroup &onGroup, qint64 &told);

    QSqlDatabase m_db;
    PathSearch m_paths;
};
