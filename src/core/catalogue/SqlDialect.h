#pragma once
#include <QSqlDatabase>
#include <QString>

// Where the catalogue's SQL differs between SQLite and PostgreSQL, the
// program's own statements are written once with both spellings side by side:
// pick() chooses by the connection's driver. The user's own statements go
// through as typed.
class SqlDialect
{
public:
    static bool isPostgres(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }
    static QString pick(const QSqlDatabase &db, const QString &sqlite, const QString &postgres)
    {
        return isPostgres(db) ? postgres : sqlite;
    }
    // LIKE as SQLite reads it, spelled for PostgreSQL: no escape character,
    // A to Z match a to z and no other letter folds, whatever the database's
    // locale. The folded column is what the trigram index holds.
    static QString asciiLike(const QString &column, const QString &value = QStringLiteral("?"));
    static QString asciiFolded(const QString &expression);
};
