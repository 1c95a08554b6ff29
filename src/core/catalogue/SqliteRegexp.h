#pragma once

struct sqlite3;

// SQLite's REGEXP operator on one connection ("X REGEXP Y" calls
// regexp(Y, X)), which SQLite leaves to the program: a regular expression
// found anywhere in the text, letters in either case in every script, as
// PostgreSQL's ~* finds it. Each statement compiles its expression once.
class SqliteRegexp
{
public:
    // Throws CatalogueError.
    static void install(sqlite3 *db);
};
