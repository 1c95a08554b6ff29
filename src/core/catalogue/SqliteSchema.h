#pragma once
#include <QSqlDatabase>

// The schema and settings of a catalogue in an SQLite file: the shared
// tables of CatalogueSchema, spelled for SQLite, with SQLite's own index.
// Catalogues made by older versions keep what they have. Throws CatalogueError.
class SqliteSchema
{
public:
    // The connection's settings, before anything is read.
    static void tune(const QSqlDatabase &db);
    static void create(QSqlDatabase db);
    // The log's size at which a commit checkpoints it, for connections tuned
    // from now on: 256 MB. Tests lower it to watch the bound on a small log.
    static void setCheckpointBytes(qint64 bytes);
    static qint64 checkpointBytes();

private:
    static void createTables(const QSqlDatabase &db);
};
