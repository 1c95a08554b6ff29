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
    indexRange(db, mark(db), lastRow(db));
}

void NameIndex::indexRange(QSqlDatabase db, qint64 from, qint64 to)
{
    if (to <= from)
        return;
    SqlStatement::run(db, QStringLiteral("INSERT INTO DB_FoldedNames (rowid, Name) "
                           "SELECT rowid, harvex_fold(Name) FROM DB WHERE rowid > ? AND rowid <= ?"),
        {from, to});
    SqlStatement::run(db, QStringLiteral("UPDATE DB_FoldedNamesState SET indexedTo = ?"), {to});
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
    // No insert trigger: with one, SQLite 3.40 opens a statement savepoint
    // for every insert, and FTS5 writes a segment at each savepoint, which
    // made storing thirty times slower.
    // An index without the text must be told the old folded name on a change.
    const QString indexed = QStringLiteral("old.rowid <= (SELECT indexedTo FROM DB_FoldedNamesState)");
    const QString forget = QStringLiteral("INSERT INTO DB_FoldedNames (DB_FoldedNames, rowid, Name) "
                                          "SELECT 'delete', old.rowid, harvex_fold(old.Name) WHERE %1; ").arg(indexed);
    // Removing the last rows lets SQLite give their rowids again: the mark
    // comes down with them, so rows stored later are indexed.
    SqlStatement::run(db, QStringLiteral("CREATE TRIGGER DB_FoldedNamesDelete AFTER DELETE ON DB BEGIN %1"
                           "UPDATE DB_FoldedNamesState SET indexedTo = (SELECT COALESCE(MAX(rowid), 0) FROM DB) "
                           "WHERE indexedTo > (SELECT COALESCE(MAX(rowid), 0) FROM DB); END")
                .arg(forget));
    // Only a change of Name: a rescan's new sizes and times leave the index be.
    SqlStatement::run(db, QStringLiteral("CREATE TRIGGER DB_FoldedNamesUpdate AFTER UPDATE OF Name ON DB WHEN %1 BEGIN %2"
                           "INSERT INTO DB_FoldedNames (rowid, Name) SELECT new.rowid, harvex_fold(new.Name) "
                           "WHERE new.rowid <= (SELECT indexedTo FROM DB_FoldedNamesState); END")
                .arg(indexed, forget));
}
