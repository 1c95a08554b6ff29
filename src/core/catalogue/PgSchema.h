#pragma once
#include "NameIndex.h"

#include <QSqlDatabase>

// The schema of a catalogue in a shared PostgreSQL database: the tables of
// CatalogueSchema spelled for PostgreSQL, with its folded names. Every
// writer runs create() on open, one at a time, and the version row says what
// a later version has to migrate. Throws CatalogueError.
// Version 2: names folded by the program in PgFoldedNames (version 1 had a
// trigram index on names with A to Z folded), and ext taken again from the
// listed names that were cut (CatalogueUpgrade). Version 3: ScanRun with
// every column, and ScanChange lines that name their run (ScanRunSchema).
class PgSchema
{
public:
    static constexpr int Version = 3;

    // progress: told how the folding of a database made before goes.
    static void create(QSqlDatabase db, const NameIndex::Progress &progress = {});

private:
    static void createTables(const QSqlDatabase &db);
    static void upgrade(const QSqlDatabase &db, int from, const NameIndex::Progress &progress);
};
