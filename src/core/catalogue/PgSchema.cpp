#include "PgSchema.h"
#include "CatalogueError.h"
#include "CatalogueSchema.h"
#include "CatalogueUpgrade.h"
#include "PgFoldedNames.h"
#include "ScanRunSchema.h"
#include "SqlStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
// Advisory lock key ("Harw", 0): the schema is made one writer at a time.
constexpr int SchemaLockClass = 0x48617277;
} // namespace

void PgSchema::create(QSqlDatabase db, const NameIndex::Progress &progress)
{
    if (!db.transaction())
        throw CatalogueError(db.lastError().text());
    try {
        SqlStatement::exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(SchemaLockClass));
        SqlStatement::exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS HarvexSchema (Version INTEGER NOT NULL)"));
        QSqlQuery q = SqlStatement::exec(db, QStringLiteral("SELECT MAX(Version) FROM HarvexSchema"));
        const int version = q.next() ? q.value(0).toInt() : 0;
        if (version > Version)
            throw CatalogueError(QStringLiteral("The catalogue database was made by a newer version of Harvex "
                                                "(schema %1; this one knows %2)").arg(version).arg(Version));
        if (version == 0)
            createTables(db);
        else if (version < Version)
            upgrade(db, version, progress);
        if (version < Version) {
            SqlStatement::exec(db, QStringLiteral("INSERT INTO HarvexSchema (Version) VALUES (%1)").arg(Version));
        }
        if (!db.commit())
            throw CatalogueError(db.lastError().text());
    } catch (const CatalogueError &) {
        db.rollback();
        throw;
    }
}

void PgSchema::createTables(const QSqlDatabase &db)
{
    // Seq keeps the order SQLite's rowid gives.
    // Size is BIGINT on new databases, exact to 2^63 - 1; a database made
    // before keeps its DOUBLE PRECISION column, which takes integers as well.
    const CatalogueSchema::Spelling spelling{QStringLiteral("DOUBLE PRECISION"), QStringLiteral("BIGINT"),
                                             QStringLiteral("BYTEA"),
                                             QStringLiteral("PID, Host, Name, ext"),
                                             QStringLiteral("Seq BIGINT GENERATED ALWAYS AS IDENTITY, ")};
    QStringList statements{QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm")};
    statements << CatalogueSchema::rowTable(spelling);
    statements << PgFoldedNames::schema();
    statements << CatalogueSchema::sideTables(spelling);
    statements << QStringLiteral("CREATE INDEX IF NOT EXISTS ScanChange_Host ON ScanChange(Host)");
    for (const QString &sql : statements)
        SqlStatement::exec(db, sql);
    ScanRunSchema::upgrade(db); // its index
}

// A database of version 1: its names are folded once, in the schema's
// transaction, while other writers wait on the lock.
void PgSchema::upgrade(const QSqlDatabase &db, int from, const NameIndex::Progress &progress)
{
    if (from < 3)
        ScanRunSchema::upgrade(db);
    if (from >= 2)
        return;
    SqlStatement::exec(db, QStringLiteral("DROP INDEX IF EXISTS DB_NameTrigrams"));
    for (const QString &sql : PgFoldedNames::schema())
        SqlStatement::exec(db, sql);
    CatalogueUpgrade::takeExtFromExactNames(db);
    PgFoldedNames::fill(db, progress);
}
