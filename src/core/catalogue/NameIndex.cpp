#include "NameIndex.h"
#include "CatalogueError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
QSqlQuery run(QSqlDatabase db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw CatalogueError(q.lastError().text());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    return q;
}

bool tableExists(QSqlDatabase db, const QString &name)
{
    QSqlQuery q = run(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE name = ?"), {name});
    return q.next();
}

const QString BuildTable = QStringLiteral("DB_NameTrigramsBuild");

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
} // namespace

bool NameIndex::isReady(QSqlDatabase db)
{
    if (!tableExists(db, BuildTable))
        return false;
    QSqlQuery q = run(db, QStringLiteral("SELECT doneTo >= upTo FROM DB_NameTrigramsBuild"));
    return q.next() && q.value(0).toBool();
}

bool NameIndex::ensure(QSqlDatabase db, const Progress &progress, qint64 batch)
{
    if (!tableExists(db, QString::fromLatin1(Table)))
        transaction(db, [&] { create(db); });
    return build(db, progress, batch);
}

void NameIndex::create(QSqlDatabase db)
{
    // Trigrams of the names, folded to lower case, without positions: a find
    // asks for rows holding every trigram of its literal runs and checks the
    // candidates with LIKE, so positions would only make the index bigger.
    run(db, QStringLiteral("CREATE VIRTUAL TABLE DB_NameTrigrams USING fts5(Name, content='', "
                           "columnsize=0, detail=none, tokenize='trigram')"));
    // Rows up to upTo were stored before the index existed; those up to
    // doneTo are indexed. The triggers read it, so it stays when complete.
    run(db, QStringLiteral("CREATE TABLE DB_NameTrigramsBuild (doneTo INTEGER, upTo INTEGER)"));
    run(db, QStringLiteral("INSERT INTO DB_NameTrigramsBuild SELECT 0, COALESCE(MAX(rowid), 0) FROM DB"));
    // DB's rowid rises with every insert, as FTS5 wants its rowids within a
    // transaction; the random ID would make it write a segment per row.
    run(db, QStringLiteral("CREATE TRIGGER DB_NameTrigramsInsert AFTER INSERT ON DB BEGIN "
                           "INSERT INTO DB_NameTrigrams (rowid, Name) VALUES (new.rowid, new.Name); END"));
    // Rows are changed or removed only through the SQL window. An index
    // without the text must be told the old name; a row the build has not
    // reached yet is not in the index.
    const QString indexed = QStringLiteral(
        "NOT EXISTS (SELECT 1 FROM DB_NameTrigramsBuild WHERE old.rowid > doneTo AND old.rowid <= upTo)");
    const QString forget = QStringLiteral("INSERT INTO DB_NameTrigrams (DB_NameTrigrams, rowid, Name) "
                                          "VALUES ('delete', old.rowid, old.Name); ");
    run(db, QStringLiteral("CREATE TRIGGER DB_NameTrigramsDelete AFTER DELETE ON DB WHEN %1 BEGIN %2END")
                .arg(indexed, forget));
    run(db, QStringLiteral("CREATE TRIGGER DB_NameTrigramsUpdate AFTER UPDATE ON DB WHEN %1 BEGIN %2"
                           "INSERT INTO DB_NameTrigrams (rowid, Name) VALUES (new.rowid, new.Name); END")
                .arg(indexed, forget));
}

bool NameIndex::build(QSqlDatabase db, const Progress &progress, qint64 batch)
{
    QSqlQuery state = run(db, QStringLiteral("SELECT doneTo, upTo FROM DB_NameTrigramsBuild"));
    if (!state.next())
        throw CatalogueError(QStringLiteral("The name index's build state is missing"));
    qint64 done = state.value(0).toLongLong();
    const qint64 total = state.value(1).toLongLong();
    state.finish();
    while (done < total) {
        if (progress && !progress(done, total))
            return false;
        const qint64 to = qMin(done + batch, total);
        transaction(db, [&] { indexBatch(db, done, to); });
        done = to;
    }
    if (progress && total > 0)
        progress(total, total);
    return true;
}

void NameIndex::indexBatch(QSqlDatabase db, qint64 from, qint64 to)
{
    run(db, QStringLiteral("INSERT INTO DB_NameTrigrams (rowid, Name) "
                           "SELECT rowid, Name FROM DB WHERE rowid > ? AND rowid <= ?"),
        {from, to});
    run(db, QStringLiteral("UPDATE DB_NameTrigramsBuild SET doneTo = ?"), {to});
}
