#pragma once
#include <QSqlDatabase>

// What opening a catalogue made by an earlier version changes in it, once:
// an SQLite file records it in its user_version, a PostgreSQL database in
// its schema version (PgSchema). Version 1 of a file: names folded for
// finds (NameIndex, in place of the index before, which the open that
// follows builds anew) and ext taken again from the listed names that were
// cut. Version 2: ScanRun with every column, and ScanChange lines that
// name their run (ScanRunSchema). Throws CatalogueError.
class CatalogueUpgrade
{
public:
    static constexpr int SqliteVersion = 2;

    // On a new file, inside the transaction that makes its schema.
    static void markSqliteCurrent(const QSqlDatabase &db);
    // Nothing on a file that is current, or read-only: its finds then scan,
    // and find what they should.
    static void upgradeSqlite(const QSqlDatabase &db);
    // Rows stored before ext came from the whole listed name kept the type
    // of the cut name (a dot within the first NameSize characters, or none):
    // their ExactName row holds the whole name, and gives ext again. Name
    // stays as stored. Returns the rows changed; runs inside the caller's
    // transaction.
    static int takeExtFromExactNames(const QSqlDatabase &db);
};
