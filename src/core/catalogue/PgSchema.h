#pragma once
#include <QSqlDatabase>

// The schema of a catalogue in a shared PostgreSQL database: the tables of
// CatalogueSchema spelled for PostgreSQL, with its trigram index. Every
// writer runs create() on open, one at a time, and the version row says what
// a later version has to migrate. Throws CatalogueError.
class PgSchema
{
public:
    static constexpr int Version = 1;

    static void create(QSqlDatabase db);

private:
    static void createTables(const QSqlDatabase &db);
};
