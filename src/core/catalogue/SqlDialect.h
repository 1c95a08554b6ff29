#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct sqlite3;

// Where the catalogue's SQL differs between SQLite and PostgreSQL, the
// program's own statements take the spelling, or the answer, from here,
// chosen by the connection's driver. The user's own statements go through
// as typed.
class SqlDialect
{
public:
    // LIKE as SQLite reads it, spelled for PostgreSQL: no escape character,
    // A to Z match a to z and no other letter folds, whatever the database's
    // locale.
    static QString asciiLike(const QString &column, const QString &value = QStringLiteral("?"));
    static QString asciiFolded(const QString &expression);
    // "column LIKE ?" with SQLite's meaning, on either database.
    static QString like(const QSqlDatabase &db, const QString &column);

    // A byte string's type.
    static QString bytesType(const QSqlDatabase &db);
    // "column matches the regular expression ?, letters in either case":
    // SQLite's REGEXP (the program's SqliteRegexp), PostgreSQL's ~*.
    static QString regexMatch(const QSqlDatabase &db, const QString &column);
    // A UTF-8 text expression as a byte string.
    static QString utf8Bytes(const QSqlDatabase &db, const QString &text);
    // "IS NOT", with NULL equal to NULL.
    static QString isNot(const QSqlDatabase &db);
    // The connection's own temporary table of that name.
    static QString tempTable(const QSqlDatabase &db, const QString &name);
    // INSERT of rows (a VALUES or SELECT clause) that skips those whose key is taken.
    static QString insertOrIgnore(const QSqlDatabase &db, const QString &into, const QString &rows, const QString &key);
    // INSERT of one row by placeholders that replaces the row of the same
    // first column (the key).
    static QString insertOrReplace(const QSqlDatabase &db, const QString &table, const QStringList &columns);
    // A column that follows the order DB's rows were stored in. PostgreSQL
    // has no rowid; its row address follows the stored order of rows never
    // updated in place.
    static QString storedOrder(const QSqlDatabase &db);
    // The column of ScanChange's storing order: SQLite's rowid, or the
    // identity column the PostgreSQL schema gives it.
    static QString changeOrder(const QSqlDatabase &db);
    // Host as compared to find one host's rows: on SQLite "+Host", which
    // only the index DB_HostRows answers (see SqliteSchema).
    static QString hostRowsKey(const QSqlDatabase &db);
    // A statement that finds the trigram index on folded names: FTS5's state
    // table on SQLite, the GIN index of PgFoldedNames on PostgreSQL.
    static QString nameIndexProbe(const QSqlDatabase &db);
    // True when the planner takes LIKE's candidates from the name index by
    // itself; FTS5's table must be asked with MATCH.
    static bool plannerUsesNameIndex(const QSqlDatabase &db);
    // True when a statement without values must run unprepared: PostgreSQL
    // prepares only SELECT, INSERT, UPDATE, DELETE and VALUES.
    static bool runsUnprepared(const QSqlDatabase &db);
    // True when a forward-only result streams even while other statements run
    // on the connection. PostgreSQL's driver streams only while no other runs.
    static bool streamsBesideOthers(const QSqlDatabase &db);
    // SQLite's own handle on the connection, for what reads or asks the C
    // API; null on other databases. Throws CatalogueError for an SQLite
    // driver that gives none.
    static sqlite3 *sqliteHandle(const QSqlDatabase &db);

private:
    static bool isPostgres(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }
    static QString pick(const QSqlDatabase &db, const QString &sqlite, const QString &postgres)
    {
        return isPostgres(db) ? postgres : sqlite;
    }
};
