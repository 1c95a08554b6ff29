#pragma once

struct sqlite3;

// NameFold as SQL function harvex_fold(text) on one SQLite connection: the
// trigram index, its triggers and the finds fold names with it. Every
// connection of the program's own that writes or finds names installs it;
// another program that renames or removes rows of DB is told "no such
// function: harvex_fold" and changes nothing, which keeps the index whole.
class SqliteNameFold
{
public:
    static constexpr auto Function = "harvex_fold";

    // Throws CatalogueError.
    static void install(sqlite3 *db);
};
