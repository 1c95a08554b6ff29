#pragma once
#include <QSqlDatabase>
#include <QString>

// Table ScanRun, and the run each line of ScanChange belongs to, on both
// stores. Catalogues whose ScanRun has only Host, Started and Ended (or none)
// gain the rest when opened; their runs keep their times and are numbered
// in order of start, their results unknown. Throws CatalogueError.
class ScanRunSchema
{
public:
    static QString createTable();
    // Idempotent: adds only what is missing. Inside the opening's transaction.
    static void upgrade(const QSqlDatabase &db);
    // For readers of files opened read-only, which may miss a column.
    static bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column);
};
