#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>

// The trigram index on DB's names as finds compare them (folded by
// NameFold, through SqliteNameFold's function): an FTS5 table that holds
// only the index, keyed by DB's rowid, beside the folded names that are not
// plain ASCII. Rows up to a mark are indexed; the catalogue indexes the
// rows above it in the transaction that stores them, just before the
// commit. Rows changed or removed (through the SQL window or another
// program) are kept in step by triggers of built-in SQL; a row renamed to
// a name they cannot fold is stale until the next commit or open folds it.
// A find reads the rows above the mark and the stale ones as well, so its
// answer never depends on how far the index has got.
class NameIndex
{
public:
    static constexpr auto Table = "DB_FoldedNames";
    static constexpr auto StateTable = "DB_FoldedNamesState";
    static constexpr qint64 BuildBatch = 200000; // rowids per transaction of the build

    // Told the rows done and the rows to do before each batch and at the
    // end; returning false stops the build, which goes on at the next open.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // Creates the index when missing and indexes the rows above the mark.
    // Returns false when progress stopped the build. Throws CatalogueError.
    static bool ensure(QSqlDatabase db, const Progress &progress = {}, qint64 batch = BuildBatch);
    // True when the index exists and holds every row.
    static bool isReady(QSqlDatabase db);
    static bool exists(QSqlDatabase db);
    // Folds the stale rows and indexes the rows above the mark; runs inside
    // the caller's transaction.
    static void indexTail(QSqlDatabase db);
    // Removes the index of catalogues made before, which held names folded
    // only as FTS5 folds them (no ß to ss): a find of theirs would miss
    // rows. Runs inside the caller's transaction.
    static void dropFormer(QSqlDatabase db);

private:
    static void create(QSqlDatabase db);
    static void createTriggers(QSqlDatabase db);
    static void indexRange(QSqlDatabase db, qint64 from, qint64 to);
    static void refoldStale(QSqlDatabase db);
    // Indexes the DB rows the condition picks, which the index does not hold.
    static void fold(QSqlDatabase db, const QString &rows, const QVariantList &values);
    // An SQL condition: the value is text whose folding is lower()'s.
    static QString plainAscii(const QString &value);
};
