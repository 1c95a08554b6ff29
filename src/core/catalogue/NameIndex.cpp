#include "NameIndex.h"
#include "SqlStatement.h"
#include "CatalogueError.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
qint64 number(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q = SqlStatement::run(db, sql);
    return q.next() ? q.value(0).toLongLong() : 0;
}

void transaction(QSqlDatabase db, const std::function<void()> &work)
{
    if (!db.transaction())
        throw CatalogueError(db.lastError().text());
    try {
        work();
    } catch (const CatalogueError &) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        throw CatalogueError(why);
    }
}

qint64 mark(QSqlDatabase db)
{
    return number(db, QStringLiteral("SELECT indexedTo FROM DB_FoldedNamesState"));
}

bool hasStale(QSqlDatabase db)
{
    return SqlStatement::run(db, QStringLiteral("SELECT 1 FROM DB_FoldedNamesStale LIMIT 1")).next();
}

qint64 lastRow(QSqlDatabase db)
{
    return number(db, QStringLiteral("SELECT COALESCE(MAX(rowid), 0) FROM DB"));
}
} // namespace

bool NameIndex::exists(QSqlDatabase db)
{
    return SqlStatement::run(db, SqlDialect::nameIndexProbe(db)).next();
}

bool NameIndex::isReady(QSqlDatabase db)
{
    return exists(db) && mark(db) >= lastRow(db);
}

bool NameIndex::ensure(QSqlDatabase db, const Progress &progress, qint64 batch)
{
    if (!exists(db))
        transaction(db, [&] { create(db); });
    if (hasStale(db))
        transaction(db, [&] { refoldStale(db); });
    qint64 done = mark(db);
    const qint64 total = lastRow(db);
    while (done < total) {
        if (progress && !progress(done, total))
            return false;
        const qint64 to = qMin(done + batch, total);
        transaction(db, [&] { indexRange(db, done, to); });
        done = to;
    }
    if (progress && total > 0)
        progress(total, total);
    return true;
}

void NameIndex::indexTail(QSqlDatabase db)
{
    refoldStale(db);
    indexRange(db, mark(db), lastRow(db));
}

QString NameIndex::plainAscii(const QString &value)
{
    // Printable ASCII text, whose folding SQLite's own lower() gives in any
    // program (with ICU's lower() as well). GLOB stops at a NUL and length()
    // does too, where the bytes go on; GLOB reads bytes that are not UTF-8
    // as characters past '~'. Tabs and the like count as not plain: such a
    // name only costs a row of DB_FoldedNamesNonAscii.
    return QStringLiteral("(typeof(%1) = 'text' AND length(%1) = length(CAST(%1 AS BLOB)) AND %1 NOT GLOB '*[^ -~]*')")
        .arg(value);
}

void NameIndex::fold(QSqlDatabase db, const QString &rows, const QVariantList &values)
{
    SqlStatement::run(db, QStringLiteral("INSERT INTO DB_FoldedNames (rowid, Name) SELECT rowid, harvex_fold(Name) FROM DB WHERE %1")
                              .arg(rows),
                      values);
    SqlStatement::run(db, QStringLiteral("INSERT INTO DB_FoldedNamesNonAscii (ID, Name) SELECT rowid, harvex_fold(Name) FROM DB "
                                         "WHERE (%1) AND NOT harvex_plain(Name)")
                              .arg(rows),
                      values);
}

void NameIndex::indexRange(QSqlDatabase db, qint64 from, qint64 to)
{
    if (to <= from)
        return;
    fold(db, QStringLiteral("rowid > ? AND rowid <= ?"), {from, to});
    SqlStatement::run(db, QStringLiteral("UPDATE DB_FoldedNamesState SET indexedTo = ?"), {to});
}

// One probe per commit while nothing is stale, which is nearly always.
void NameIndex::refoldStale(QSqlDatabase db)
{
    if (!hasStale(db))
        return;
    fold(db, QStringLiteral("rowid IN (SELECT ID FROM DB_FoldedNamesStale)"), {});
    SqlStatement::run(db, QStringLiteral("DELETE FROM DB_FoldedNamesStale"));
}

void NameIndex::dropFormer(QSqlDatabase db)
{
    for (const char *sql : {"DROP TRIGGER IF EXISTS DB_NameTrigramsDelete", "DROP TRIGGER IF EXISTS DB_NameTrigramsUpdate",
                            "DROP TABLE IF EXISTS DB_NameTrigrams", "DROP TABLE IF EXISTS DB_NameTrigramsState"})
        SqlStatement::exec(db, QString::fromLatin1(sql));
}

void NameIndex::create(QSqlDatabase db)
{
    // Trigrams of the folded names, without positions: a find asks for rows
    // holding every trigram of its folded pattern's literal runs and checks
    // the candidates with LIKE on the folded name, so positions would only
    // make the index bigger. The text comes folded: the tokenizer keeps it
    // as it is. DB's rowid rises with every insert, as FTS5 wants its
    // rowids; the random ID would scatter them.
    SqlStatement::run(db, QStringLiteral("CREATE VIRTUAL TABLE DB_FoldedNames USING fts5(Name, content='', "
                           "columnsize=0, detail=none, tokenize='trigram case_sensitive 1')"));
    SqlStatement::run(db, QStringLiteral("CREATE TABLE DB_FoldedNamesState (indexedTo INTEGER)"));
    SqlStatement::run(db, QStringLiteral("INSERT INTO DB_FoldedNamesState VALUES (0)"));
    // The index holds no text, and must be told a row's folded name to
    // forget it. Another program has no harvex_fold, so what the triggers
    // need is stored: the folded names that lower() does not give (names
    // not plain ASCII, a few in most catalogues; a second copy of every
    // name doubled the index's size), and the rows renamed to such names,
    // out of the index until the program folds them.
    SqlStatement::run(db, QStringLiteral("CREATE TABLE DB_FoldedNamesNonAscii (ID INTEGER PRIMARY KEY, Name TEXT)"));
    SqlStatement::run(db, QStringLiteral("CREATE TABLE DB_FoldedNamesStale (ID INTEGER PRIMARY KEY)"));
    createTriggers(db);
}

// Only built-in SQL: other programs that change DB run these triggers too,
// and stored catalogues have always been edited with them.
void NameIndex::createTriggers(QSqlDatabase db)
{
    // No insert trigger: with one, SQLite 3.40 opens a statement savepoint
    // for every insert, and FTS5 writes a segment at each savepoint, which
    // made storing thirty times slower.
    const QString indexed = QStringLiteral("old.rowid <= (SELECT indexedTo FROM DB_FoldedNamesState)");
    const QString forget = QStringLiteral(
        "INSERT INTO DB_FoldedNames (DB_FoldedNames, rowid, Name) SELECT 'delete', old.rowid, "
        "COALESCE((SELECT Name FROM DB_FoldedNamesNonAscii WHERE ID = old.rowid), lower(old.Name)) "
        "WHERE %1 AND NOT EXISTS (SELECT 1 FROM DB_FoldedNamesStale WHERE ID = old.rowid); "
        "DELETE FROM DB_FoldedNamesNonAscii WHERE ID = old.rowid; DELETE FROM DB_FoldedNamesStale WHERE ID = old.rowid; ")
                               .arg(indexed);
    // Removing the last rows lets SQLite give their rowids again: the mark
    // comes down with them, so rows stored later are indexed.
    SqlStatement::run(db, QStringLiteral("CREATE TRIGGER DB_FoldedNamesDelete AFTER DELETE ON DB BEGIN %1"
                           "UPDATE DB_FoldedNamesState SET indexedTo = (SELECT COALESCE(MAX(rowid), 0) FROM DB) "
                           "WHERE indexedTo > (SELECT COALESCE(MAX(rowid), 0) FROM DB); END")
                .arg(forget));
    // Only a change of Name: a rescan's new sizes and times leave the index
    // be. A plain ASCII name folds by lower(); any other waits, stale, for
    // the program's next commit or open, and every find reads it meanwhile.
    const QString plain = plainAscii(QStringLiteral("new.Name"));
    SqlStatement::run(db, QStringLiteral("CREATE TRIGGER DB_FoldedNamesUpdate AFTER UPDATE OF Name ON DB "
                           "WHEN old.Name IS NOT new.Name AND %1 BEGIN %2"
                           "INSERT INTO DB_FoldedNames (rowid, Name) SELECT new.rowid, lower(new.Name) WHERE %3; "
                           "INSERT OR IGNORE INTO DB_FoldedNamesStale (ID) SELECT new.rowid WHERE NOT %3; END")
                .arg(indexed, forget, plain));
}
