#pragma once

struct sqlite3;

// NameFold as SQL functions on one SQLite connection: harvex_fold(text)
// folds, for the trigram index and its triggers; harvex_match(pattern, name)
// folds the name and matches it against a pattern folded already
// (LikeMatch), for the finds. Every
// connection of the program's own that writes or finds names installs it;
// another program that renames or removes rows of DB is told "no such
// function: harvex_fold" and changes nothing, which keeps the index whole.
class SqliteNameFold
{
public:

    // Throws CatalogueError.
    static void install(sqlite3 *db);
};
