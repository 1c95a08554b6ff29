#pragma once
#include <QSqlDatabase>
#include <QString>
#include <functional>

// The trigram index on DB's names: an FTS5 table that holds only the index
// (no second copy of the names), keyed by DB's rowid and kept in step by
// triggers, so every statement that writes DB updates it in the same
// transaction. Rows stored before the index existed are indexed in batches;
// until that build is complete, finds scan the table.
class NameIndex
{
public:
    static constexpr auto Table = "DB_NameTrigrams";
    static constexpr qint64 BuildBatch = 200000; // rowids per transaction of the build

    // Told the rows done and the rows to do after each batch; returning false
    // stops the build, which goes on at the next open.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // Creates the index when missing and indexes the rows it lacks.
    // Returns false when progress stopped the build. Throws CatalogueError.
    static bool ensure(QSqlDatabase db, const Progress &progress = {}, qint64 batch = BuildBatch);
    // True when every row of DB is in the index.
    static bool isReady(QSqlDatabase db);

private:
    static void create(QSqlDatabase db);
    static bool build(QSqlDatabase db, const Progress &progress, qint64 batch);
    static void indexBatch(QSqlDatabase db, qint64 from, qint64 to);
};
