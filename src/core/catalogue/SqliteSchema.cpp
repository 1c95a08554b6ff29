#include "SqliteSchema.h"
#include "CatalogueError.h"
#include "CatalogueSchema.h"
#include "CatalogueUpgrade.h"
#include "ScanRunSchema.h"
#include "SqlStatement.h"

#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace {
std::atomic<qint64> g_checkpointBytes{256 << 20};
} // namespace

void SqliteSchema::setCheckpointBytes(qint64 bytes)
{
    g_checkpointBytes = bytes;
}

qint64 SqliteSchema::checkpointBytes()
{
    return g_checkpointBytes;
}

void SqliteSchema::tune(const QSqlDatabase &db)
{
    // 4 KB pages: every stored entry dirties a random page of the ID index,
    // and each commit copies its dirty pages whole into the log; 16 KB pages
    // copied four times the bytes. Takes effect only when the file is created.
    SqlStatement::exec(db, QStringLiteral("PRAGMA page_size=4096"));
    SqlStatement::exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    // FULL: every commit is on the disk, so a power cut loses no more than a
    // crash of the program. Each commit syncs the log it wrote while the scan
    // goes on. With NORMAL the log was synced only at checkpoints (every
    // 256 MB of it), so closing synced all a scan had written since the last
    // one: a 100,000-entry scan waited a further 0.2 s after "Scanning
    // complete". At 10,000,000 rows the storing rate was the same.
    SqlStatement::exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
    // 384 MB of page cache hold what a scan writes at random places in a
    // catalogue of 10,000,000 rows: the ID index (about 130 MB), the folder
    // index's pages and the pages a commit dirties. With 256 MB a commit's
    // pages no longer fitted: they were written out twice, and the 10th
    // million read 164,000 pages and wrote 273,000; with 384 MB, 79,000 and
    // 230,000, at a peak of 477 MB. The cache grows only as pages are read.
    // Without mmap the file's pages do not add to the resident memory.
    SqlStatement::exec(db, QStringLiteral("PRAGMA cache_size=-393216"));
    SqlStatement::exec(db, QStringLiteral("PRAGMA mmap_size=0"));
    SqlStatement::exec(db, QStringLiteral("PRAGMA temp_store=MEMORY"));
    // Checkpoint every 256 MB of log: a page the random ID index rewrites at
    // every commit is copied into the file once, not at each of them; the
    // log shrinks back to 64 MB afterwards.
    QSqlQuery pageSize = SqlStatement::exec(db, QStringLiteral("PRAGMA page_size"));
    const int bytes = pageSize.next() ? pageSize.value(0).toInt() : 4096;
    SqlStatement::exec(db, QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(qMax<qint64>(1, checkpointBytes() / qMax(bytes, 512))));
    SqlStatement::exec(db, QStringLiteral("PRAGMA journal_size_limit=67108864"));
}

// A new catalogue is made in one transaction: whole or not at all, with one
// sync rather than one per table and index (seven fewer, about 7 ms of a
// first scan's start). BEGIN IMMEDIATE waits on the busy timeout for another
// writer; after a plain BEGIN the first write would fail at once. A catalogue
// that has its table keeps to one statement at a time: most of them change
// nothing, and a read-only file must still open.
void SqliteSchema::create(QSqlDatabase db)
{
    if (SqlStatement::exec(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'DB'")).next()) {
        createTables(db);
        return;
    }
    SqlStatement::exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        createTables(db);
        ScanRunSchema::upgrade(db); // its index, on columns older ScanRun tables gain first
        CatalogueUpgrade::markSqliteCurrent(db);
        SqlStatement::exec(db, QStringLiteral("COMMIT"));
    } catch (const CatalogueError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void SqliteSchema::createTables(const QSqlDatabase &db)
{
    // DB_Folder serves the duplicate test, a folder's children and the
    // tree's levels. IDs are unique across hosts, so the folder's ID finds
    // its children without the host in the key (the host is checked on the
    // row). Every folder a scan stores writes this index at a random place:
    // without the host's name its keys are half as long, and the 10th
    // million of 10,000,000 reads a fifth fewer pages. The top level (PID 0)
    // is one run of keys for every host, read row by row for the host: a few
    // hundred rows per host. Catalogues made before keep their DB_Folder
    // (PID, Host, Name, ext), which answers the same queries.
    // ScanChange keeps its order in SQLite's rowid.
    // Size is INTEGER on new catalogues: a REAL column turns every integer
    // back into a double, which loses sizes past 2^53. Stored catalogues keep
    // their DOUBLE column (it is the user's table, and rewriting it would copy
    // every row); their sizes read the same, only as doubles.
    const CatalogueSchema::Spelling spelling{QStringLiteral("DOUBLE"), QStringLiteral("INTEGER"), QStringLiteral("BLOB"),
                                             QStringLiteral("PID, Name, ext"), QString()};
    QStringList statements = CatalogueSchema::rowTable(spelling);
    // A host's rows in storage order, for what reads a whole host (its
    // statistics). Keyed by the expression +Host so that only a query that
    // names +Host uses it: without ANALYZE the planner takes Host = ? for a
    // rare value and would prefer this index to the name and size indexes.
    // A scan's rows append to their host's run of keys, so it costs little.
    statements << QStringLiteral("CREATE INDEX IF NOT EXISTS DB_HostRows ON DB(+Host)");
    for (const QString &sql : statements + CatalogueSchema::sideTables(spelling))
        SqlStatement::exec(db, sql);
}
