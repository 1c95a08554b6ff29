#pragma once
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

// Finds DB rows by a name pattern with LIKE's meaning and no escape
// character: "%" any run of characters, "_" one character, and letters of
// every script in either case: pattern and names compare folded by NameFold.
// When the folded pattern holds a run of at least three literal characters,
// the trigram index picks the candidate rows (with the rows it does not hold
// yet) and LIKE on the folded name checks each of them, so the answer never
// depends on the index. SQLite folds through SqliteNameFold's function;
// PostgreSQL keeps the folded names in a table of their own, with its
// trigram index (PgFoldedNames).
class NameSearch
{
public:
    static constexpr int MinRun = 3; // the index knows runs of three characters

    // A condition on DB's Name for a WHERE clause, with its values in order.
    struct Condition
    {
        QString sql;
        QVariantList values;
        bool indexed = false;
    };

    // Asks the catalogue once whether it has the trigram index.
    explicit NameSearch(QSqlDatabase db);
    NameSearch(QSqlDatabase db, bool hasIndex) : m_db(db), m_hasIndex(hasIndex) {}

    bool hasIndex() const { return m_hasIndex; }
    QSqlDatabase database() const { return m_db; }
    Condition condition(const QString &pattern) const;
    // The rows matching pattern (and extPattern on ext, "%" for any), all
    // columns as the find dialog shows them, in the table's order. Throws
    // CatalogueError.
    QSqlQuery find(const QString &pattern, const QString &extPattern = QStringLiteral("%")) const;

    // An FTS5 query asking for every trigram of the folded pattern's literal
    // runs of MinRun characters or more; empty when there is none.
    static QString trigramQuery(const QString &pattern);

private:
    Condition sqliteCondition(const QString &folded) const;

    QSqlDatabase m_db;
    bool m_hasIndex = false;
};
