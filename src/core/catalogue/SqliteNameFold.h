#pragma once

struct sqlite3;

// NameFold as SQL functions on one SQLite connection: harvex_fold(text)
// folds, for filling the trigram index; harvex_match(pattern, name) folds
// the name and matches it against a pattern folded already (LikeMatch), for
// the finds; harvex_plain(value) is 1 for text of printable ASCII, whose
// folding lower() gives. Every connection of the program's own that indexes or finds
// names installs it. Nothing stored in the file calls them (NameIndex's
// triggers keep to built-in SQL): another program that changes DB has none.
class SqliteNameFold
{
public:
    // Throws CatalogueError.
    static void install(sqlite3 *db);
};
