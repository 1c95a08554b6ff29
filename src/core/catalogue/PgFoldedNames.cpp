#include "PgFoldedNames.h"
#include "NameFold.h"
#include "PgBatch.h"
#include "SqlStatement.h"

#include <QVariant>
#include <limits>

namespace {
constexpr int FillBatch = 20000; // rows read, folded and written a statement

void write(QSqlDatabase db, const QStringList &values, const QString &onConflict)
{
    for (qsizetype from = 0; from < values.size(); from += PgBatch::RowsPerStatement)
        SqlStatement::exec(db, PgFoldedNames::insertSql(values.mid(from, PgBatch::RowsPerStatement)) + onConflict);
}

qint64 count(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q = SqlStatement::exec(db, sql);
    return q.next() ? q.value(0).toLongLong() : 0;
}
} // namespace

QStringList PgFoldedNames::schema()
{
    // Only a changed name marks the row: rescans update sizes and times.
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS DB_FoldedNames (ID INTEGER PRIMARY KEY "
                           "REFERENCES DB (ID) ON DELETE CASCADE ON UPDATE CASCADE, Name TEXT)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS DB_FoldedNamesTrigrams ON DB_FoldedNames USING gin (Name gin_trgm_ops)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS DB_FoldedNamesStale ON DB_FoldedNames (ID) WHERE Name IS NULL"),
            QStringLiteral("CREATE OR REPLACE FUNCTION harvex_name_changed() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$BEGIN UPDATE DB_FoldedNames SET Name = NULL WHERE ID = NEW.ID; RETURN NULL; END$$"),
            QStringLiteral("CREATE OR REPLACE TRIGGER DB_FoldedNamesUpdate AFTER UPDATE OF Name ON DB FOR EACH ROW "
                           "WHEN (OLD.Name IS DISTINCT FROM NEW.Name) EXECUTE FUNCTION harvex_name_changed()")};
}

QString PgFoldedNames::condition()
{
    // No escape character, as in SQLite; PostgreSQL's LIKE is exact, and
    // exact is right on folded text.
    return QStringLiteral("(DB.ID IN (SELECT ID FROM DB_FoldedNames WHERE Name LIKE ? ESCAPE ''))");
}

QString PgFoldedNames::insertSql(const QStringList &values)
{
    return QStringLiteral("INSERT INTO DB_FoldedNames (ID, Name) VALUES ") + values.join(u',');
}

// A row without a name folds to the empty text: NULL marks a stale row.
QString PgFoldedNames::value(qint32 id, const QString &name)
{
    return QStringLiteral("(%1,%2)").arg(id).arg(PgBatch::literal(NameFold::fold(name)));
}

void PgFoldedNames::fill(QSqlDatabase db, const NameIndex::Progress &progress)
{
    const qint64 total = count(db, QStringLiteral("SELECT COUNT(*) FROM DB"));
    qint64 after = std::numeric_limits<qint32>::min() - qint64(1), done = 0;
    for (;;) {
        if (progress)
            progress(done, total);
        // By ID, on DB's unique index: each batch goes on where the last ended.
        QSqlQuery rows = SqlStatement::exec(db, QStringLiteral("SELECT d.ID, d.Name FROM DB d WHERE d.ID > %1 AND NOT EXISTS "
                                                               "(SELECT 1 FROM DB_FoldedNames f WHERE f.ID = d.ID) "
                                                               "ORDER BY d.ID LIMIT %2").arg(after).arg(FillBatch));
        QStringList values;
        while (rows.next()) {
            after = rows.value(0).toLongLong();
            values << value(qint32(after), rows.value(1).toString());
        }
        if (values.isEmpty())
            break;
        write(db, values, QStringLiteral(" ON CONFLICT (ID) DO NOTHING"));
        done = qMin(total, done + values.size());
    }
    if (progress && total > 0)
        progress(total, total);
}

void PgFoldedNames::refresh(QSqlDatabase db)
{
    QSqlQuery rows = SqlStatement::exec(db, QStringLiteral("SELECT d.ID, d.Name FROM DB_FoldedNames f JOIN DB d ON d.ID = f.ID "
                                                           "WHERE f.Name IS NULL"));
    QStringList values;
    while (rows.next())
        values << value(rows.value(0).toInt(), rows.value(1).toString());
    write(db, values, QStringLiteral(" ON CONFLICT (ID) DO UPDATE SET Name = EXCLUDED.Name"));
}
