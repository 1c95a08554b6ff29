#pragma once

#include <QByteArrayView>
#include <QSqlQuery>
#include <QVariantList>

class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

// One statement of the program's own, its values bound in order, its rows
// read forward only. Throws CatalogueError when it cannot be prepared or run.
class SqlStatement
{
public:
    static QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});
    // Bytes to bind: an empty path (the top folder's) as itself, never as NULL.
    static QVariant bytes(const QByteArray &b) { return b.isNull() ? QByteArray("", 0) : b; }
    // A statement run as written, unprepared: PostgreSQL prepares only a few
    // kinds, and SQLite's BEGIN and PRAGMA need no preparing.
    static QSqlQuery exec(const QSqlDatabase &db, const QString &sql);
    // For a scan's hot paths: SQLite's own statement, kept for the session
    // and run many times. The caller finalizes it.
    static sqlite3_stmt *persistent(sqlite3 *db, QByteArrayView sql);
};
