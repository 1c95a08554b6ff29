#include "Catalogue.h"
#include "CatalogueAddress.h"
#include "CatalogueError.h"
#include "EntryFields.h"
#include "EntryName.h"
#include "ScanChanges.h"
#include "SqlDialect.h"
#include "SqlStatement.h"

#include <QAtomicInteger>
#include <QDir>
#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>
#include <chrono>
#include <cstring>

namespace {
QAtomicInteger<int> g_connections;
// Advisory lock keys of a PostgreSQL catalogue: ("Harv", host hash) claims a
// host for a scan; ("Harw", 0) makes the schema one writer at a time.
constexpr int HostLockClass = 0x48617276;
constexpr int SchemaLockClass = 0x48617277;

} // namespace

Catalogue::Catalogue()
    : m_connection(QStringLiteral("harvex-catalogue-%1").arg(g_connections.fetchAndAddRelaxed(1)))
{
    m_commitTimer.setSingleShot(true);
    QObject::connect(&m_commitTimer, &QTimer::timeout, [this] { commitOnTimer(); });
}

Catalogue::~Catalogue()
{
    close();
}

QString Catalogue::fileIn(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("DB.sqlite"));
}

void Catalogue::open(const QString &where, const NameIndex::Progress &progress)
{
    close();
    m_drawState = clockSeed();
    if (CatalogueAddress::isUrl(where))
        openPostgres(where);
    else
        openSqlite(where, progress);
    m_sinceCommit.start();
}

void Catalogue::openSqlite(const QString &folder, const NameIndex::Progress &progress)
{
    if (!QDir().mkpath(folder))
        throw CatalogueError(QStringLiteral("Cannot create the folder %1").arg(folder));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(fileIn(folder));
    if (!m_db.open())
        throw CatalogueError(m_db.lastError().text());
    tune();
    createSchema();
    m_nameIndexReady = NameIndex::ensure(m_db, progress);
    prepareStatements();
}

void Catalogue::openPostgres(const QString &url)
{
    m_db = CatalogueAddress::connection(url, m_connection);
    if (!m_db.open())
        throw CatalogueError(QStringLiteral("Cannot open the catalogue database %1: %2")
                                 .arg(CatalogueAddress::shown(url), m_db.lastError().text().trimmed()));
    m_pg = true;
    // The batch writes its text literals for this setting.
    exec(QStringLiteral("SET standard_conforming_strings = on"));
    // "already exists, skipping" and the like are not for the user's terminal.
    exec(QStringLiteral("SET client_min_messages = warning"));
    createPgSchema();
    m_nameIndexReady = true; // the trigram index is kept by PostgreSQL itself
    m_batch.setDatabase(m_db);
    prepareStatements();
}

void Catalogue::close()
{
    if (m_db.isOpen()) {
        try {
            flush();
        } catch (const CatalogueError &) {
            // Closing after a failed write: SQLite rolls the open transaction back.
        }
    }
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    sqlite3_finalize(m_update);
    m_update = nullptr;
    m_exact.finalize();
    m_changeLines.finalize();
    m_handle = nullptr;
    m_batch.clear();
    m_batch.setDatabase(QSqlDatabase());
    m_moved.clear();
    m_pg = false;
    m_countStamp.clear();
    m_children = QSqlQuery();
    m_byId = QSqlQuery();
    m_folderValid = false;
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QSqlQuery Catalogue::exec(const QString &sql)
{
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        throw CatalogueError(q.lastError().text());
    return q;
}

void Catalogue::tune()
{
    // 4 KB pages: every stored entry dirties a random page of the ID index,
    // and each commit copies its dirty pages whole into the log; 16 KB pages
    // copied four times the bytes. Takes effect only when the file is created.
    exec(QStringLiteral("PRAGMA page_size=4096"));
    exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    // FULL: every commit is on the disk, so a power cut loses no more than a
    // crash of the program. Each commit syncs the log it wrote while the scan
    // goes on. With NORMAL the log was synced only at checkpoints (every
    // 256 MB of it), so closing synced all a scan had written since the last
    // one: a 100,000-entry scan waited a further 0.2 s after "Scanning
    // complete". At 10,000,000 rows the storing rate was the same.
    exec(QStringLiteral("PRAGMA synchronous=FULL"));
    // 384 MB of page cache hold what a scan writes at random places in a
    // catalogue of 10,000,000 rows: the ID index (about 130 MB), the folder
    // index's pages and the pages a commit dirties. With 256 MB a commit's
    // pages no longer fitted: they were written out twice, and the 10th
    // million read 164,000 pages and wrote 273,000; with 384 MB, 79,000 and
    // 230,000, at a peak of 477 MB. The cache grows only as pages are read.
    // Without mmap the file's pages do not add to the resident memory.
    exec(QStringLiteral("PRAGMA cache_size=-393216"));
    exec(QStringLiteral("PRAGMA mmap_size=0"));
    exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
    // Checkpoint every 256 MB of log: a page the random ID index rewrites at
    // every commit is copied into the file once, not at each of them; the
    // log shrinks back to 64 MB afterwards.
    QSqlQuery pageSize = exec(QStringLiteral("PRAGMA page_size"));
    const int bytes = pageSize.next() ? pageSize.value(0).toInt() : 4096;
    exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg((256 << 20) / qMax(bytes, 512)));
    exec(QStringLiteral("PRAGMA journal_size_limit=67108864"));
}

// A new catalogue is made in one transaction: whole or not at all, with one
// sync rather than one per table and index (seven fewer, about 7 ms of a
// first scan's start). BEGIN IMMEDIATE waits on the busy timeout for another
// writer; after a plain BEGIN the first write would fail at once. A catalogue
// that has its table keeps to one statement at a time: most of them change
// nothing, and a read-only file must still open.
void Catalogue::createSchema()
{
    if (exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'DB'")).next()) {
        createTables();
        return;
    }
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        createTables();
        exec(QStringLiteral("COMMIT"));
    } catch (const CatalogueError &) {
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void Catalogue::createTables()
{
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS DB (Name VARCHAR(80), ext VARCHAR(5), "
                        "Size DOUBLE, Host VARCHAR(255), Attr INTEGER, LAC DOUBLE, "
                        "ID INTEGER, PID INTEGER)"));
    exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS DB_ID ON DB(ID)"));
    // Serves the duplicate test, a folder's children and the tree's levels.
    // IDs are unique across hosts, so the folder's ID finds its children
    // without the host in the key (the host is checked on the row). Every
    // folder a scan stores writes this index at a random place: without the
    // host's name its keys are half as long, and the 10th million of
    // 10,000,000 reads a fifth fewer pages. The top level (PID 0) is one run
    // of keys for every host, read row by row for the host: a few hundred
    // rows per host. Catalogues made before keep their DB_Folder (PID, Host,
    // Name, ext), which answers the same queries.
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Folder ON DB(PID, Name, ext)"));
    // Serves the grid sorted by size (a header click) and the largest files
    // of the statistics: without it both sort every row of the table first.
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Size ON DB(Size)"));
    // A host's rows in storage order, for what reads a whole host (its
    // statistics). Keyed by the expression +Host so that only a query that
    // names +Host uses it: without ANALYZE the planner takes Host = ? for a
    // rare value and would prefer this index to the name and size indexes.
    // A scan's rows append to their host's run of keys, so it costs little.
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS DB_HostRows ON DB(+Host)"));
    for (const QString &sql : ExactNames::schema() + ScanChanges::schema())
        exec(sql);
}

// The same tables, columns and meanings as createSchema(); every writer runs
// this on open, one at a time, and the version row says what a later
// version has to migrate.
void Catalogue::createPgSchema()
{
    if (!m_db.transaction())
        throw CatalogueError(m_db.lastError().text());
    try {
        exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(SchemaLockClass));
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS HarvexSchema (Version INTEGER NOT NULL)"));
        QSqlQuery q = exec(QStringLiteral("SELECT MAX(Version) FROM HarvexSchema"));
        const int version = q.next() ? q.value(0).toInt() : 0;
        if (version > PgSchemaVersion)
            throw CatalogueError(QStringLiteral("The catalogue database was made by a newer version of Harvex "
                                                "(schema %1; this one knows %2)").arg(version).arg(PgSchemaVersion));
        if (version < PgSchemaVersion) {
            createPgTables();
            exec(QStringLiteral("INSERT INTO HarvexSchema (Version) VALUES (%1)").arg(PgSchemaVersion));
        }
        if (!m_db.commit())
            throw CatalogueError(m_db.lastError().text());
    } catch (const CatalogueError &) {
        m_db.rollback();
        throw;
    }
}

void Catalogue::createPgTables()
{
    exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"));
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS DB (Name VARCHAR(80), ext VARCHAR(5), "
                        "Size DOUBLE PRECISION, Host VARCHAR(255), Attr INTEGER, LAC DOUBLE PRECISION, "
                        "ID INTEGER, PID INTEGER)"));
    exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS DB_ID ON DB(ID)"));
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Folder ON DB(PID, Host, Name, ext)"));
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS DB_Size ON DB(Size)"));
    // Substring find: trigrams of the name as LIKE compares it (A to Z folded).
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS DB_NameTrigrams ON DB USING gin (%1 gin_trgm_ops)")
             .arg(SqlDialect::asciiFolded(QStringLiteral("Name"))));
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ExactName (ID INTEGER PRIMARY KEY, Bytes BYTEA NOT NULL)"));
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS HostCodePage (Host TEXT PRIMARY KEY, CodePage TEXT)"));
    // Seq keeps the order SQLite's rowid gives.
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ScanChange (Seq BIGINT GENERATED ALWAYS AS IDENTITY, "
                        "Host TEXT, Change TEXT, ID INTEGER, Path BYTEA)"));
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS ScanChange_Host ON ScanChange(Host)"));
}

void Catalogue::prepareStatements()
{
    if (m_pg) {
        prepareQueries();
        return;
    }
    // The insert is the hot path of a scan: SQLite's own API on QtSql's
    // connection, without a QVariant per value.
    const QVariant handle = m_db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw CatalogueError(QStringLiteral("The SQLite driver gives no handle"));
    m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    m_insert = SqlStatement::persistent(
        m_handle, "INSERT INTO DB (ID, PID, Size, Name, ext, Host, LAC, Attr) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    m_update = SqlStatement::persistent(m_handle, "UPDATE DB SET Size = ?, LAC = ? WHERE ID = ?");
    m_exact.prepare(m_handle);
    m_changeLines.prepare(m_handle);
    prepareQueries();
}

void Catalogue::prepareQueries()
{
    m_children = QSqlQuery(m_db);
    m_children.setForwardOnly(true);
    m_children.prepare(QStringLiteral("SELECT %1, d.Attr, d.ID, d.Size, d.LAC FROM DB d "
                                      "LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.PID = ? AND d.Host = ?")
                           .arg(ExactNames::sqlBytes(m_db)));
    m_byId = QSqlQuery(m_db);
    m_byId.setForwardOnly(true);
    m_byId.prepare(QStringLiteral("SELECT d.Name, d.ext, d.Size, d.Host, d.Attr, d.ID, d.PID, %1 FROM DB d "
                                  "LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.ID = ?")
                       .arg(ExactNames::sqlBytes(m_db)));
}

quint32 Catalogue::clockSeed()
{
    const auto ns = std::chrono::steady_clock::now().time_since_epoch().count();
    return quint32(quint64(ns) & 0xFFFFFFFFu);
}

qint32 Catalogue::drawId(quint32 &state)
{
    state = state * 134775813u + 1u;
    const quint64 product = quint64(state) * 0xFFFFFFFFull;
    return qint32(quint32(product >> 32));
}

qint32 Catalogue::NewRecordId()
{
    if (!isOpen())
        return 0;
    quint32 state = clockSeed();
    QSqlQuery taken(m_db);
    taken.prepare(QStringLiteral("SELECT 1 FROM DB WHERE ID = ?"));
    for (;;) {
        const qint32 v = drawId(state);
        if (v == 0)
            continue; // 0 is the root marker: never an ID
        taken.bindValue(0, v);
        if (!taken.exec())
            throw CatalogueError(taken.lastError().text());
        if (!taken.next())
            return v;
    }
}

QByteArray Catalogue::childKey(const QByteArray &bytes, bool folder)
{
    // A file that turned into a folder of the same name is a new entry.
    QByteArray key = bytes;
    key.append('\0').append(folder ? 'd' : 'f');
    return key;
}

void Catalogue::loadFolder(qint32 parentId, const QString &host)
{
    if (m_folderValid && m_folderPid == parentId && m_folderHost == host)
        return;
    m_folder.clear();
    if (m_pg && !m_batch.isEmpty())
        sendBatch(); // the query must see the rows gathered so far
    m_children.bindValue(0, parentId);
    m_children.bindValue(1, host);
    if (!m_children.exec())
        throw CatalogueError(failure(m_children.lastError().text()));
    while (m_children.next()) {
        const double lac = m_children.value(4).toDouble();
        quint64 bits;
        std::memcpy(&bits, &lac, sizeof bits);
        // A size stored as NULL by older versions differs from any listing: written again as a number.
        const QVariant size = m_children.value(3);
        m_folder.insert(childKey(m_children.value(0).toByteArray(), m_children.value(1).toInt() == 16),
                        Child{m_children.value(2).toInt(), size.isNull() ? qQNaN() : size.toDouble(), bits, false});
    }
    m_children.finish();
    m_folderPid = parentId;
    m_folderHost = host;
    m_folderHostUtf8 = host.toUtf8();
    m_folderValid = true;
}

void Catalogue::beginListing(qint32 folderId, const QString &host, bool fresh)
{
    folderId = currentId(folderId);
    const QString storedHost = host.left(HostSize);
    if (!fresh) {
        m_folderValid = false; // loaded again: a rescan may have removed rows meanwhile
        loadFolder(folderId, storedHost);
        return;
    }
    m_folder.clear();
    m_folderPid = folderId;
    m_folderHost = storedHost;
    m_folderHostUtf8 = m_folderHost.toUtf8();
    m_folderValid = true;
}

QList<qint32> Catalogue::unlisted() const
{
    QList<qint32> ids;
    for (const Child &c : m_folder)
        if (!c.met)
            ids.append(c.id);
    return ids;
}

qint32 Catalogue::StoreEntry(const FileEntry &entry, qint32 parentId, const QString &host)
{
    if (!isOpen())
        throw CatalogueError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    const EntryFields f = EntryFields::of(entry);
    const QString storedHost = host.left(HostSize);
    parentId = currentId(parentId);
    loadFolder(parentId, storedHost);
    const QByteArray key = childKey(f.exact, f.folder);
    m_lastOutcome = Outcome::Unchanged;
    if (const auto it = m_folder.find(key); it != m_folder.end()) {
        updateIfChanged(*it, f.size, f.lac);
        return it->id;
    }
    m_lastOutcome = Outcome::Added;
    const qint32 id = addRow(f.split, parentId, f.size, f.lac, f.attr);
    if (!m_pg)
        m_exact.keep(id, f.split, f.exact);
    else if (ExactNames::needsRow(f.split, f.exact))
        m_batch.addExact(id, f.exact);
    m_folder.insert(key, Child{id, f.size, entry.time, true});
    commitIfDue();
    return id;
}

qint32 Catalogue::addRow(const EntryName &split, qint32 parentId, double size, double lac, qint32 attr)
{
    if (!m_pg)
        return insertRow(Row{parentId, size, split.name.toUtf8(), split.ext.toUtf8(), m_folderHostUtf8, lac, attr});
    beginIfNeeded();
    throwDeferred();
    const qint32 id = m_batch.add({0, parentId, size, split.name, split.ext, m_folderHost, lac, attr}, m_drawState);
    ++m_pending;
    ++m_inserted;
    if (m_batch.rowCount() >= SendEvery)
        sendBatch();
    return id;
}

void Catalogue::updateIfChanged(Child &child, double size, double lac)
{
    child.met = true;
    quint64 bits;
    std::memcpy(&bits, &lac, sizeof bits);
    if (child.size == size && child.lac == bits)
        return;
    beginIfNeeded();
    if (m_pg) {
        m_batch.addUpdate(child.id, size, lac);
    } else {
        sqlite3_bind_double(m_update, 1, size);
        sqlite3_bind_double(m_update, 2, lac);
        sqlite3_bind_int(m_update, 3, child.id);
        const int rc = sqlite3_step(m_update);
        sqlite3_reset(m_update);
        if (rc != SQLITE_DONE)
            throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(m_handle)));
    }
    child.size = size;
    child.lac = bits;
    ++m_pending;
    m_lastOutcome = Outcome::Changed;
    commitIfDue();
}

void Catalogue::bindRow(const Row &row)
{
    sqlite3_bind_int(m_insert, 2, row.pid);
    sqlite3_bind_double(m_insert, 3, row.size);
    sqlite3_bind_text(m_insert, 4, row.name.constData(), int(row.name.size()), SQLITE_STATIC);
    sqlite3_bind_text(m_insert, 5, row.ext.constData(), int(row.ext.size()), SQLITE_STATIC);
    sqlite3_bind_text(m_insert, 6, row.host.constData(), int(row.host.size()), SQLITE_STATIC);
    sqlite3_bind_double(m_insert, 7, row.lac);
    sqlite3_bind_int(m_insert, 8, row.attr);
}

bool Catalogue::idCollision(int rc) const
{
    return (rc & 0xFF) == SQLITE_CONSTRAINT && sqlite3_extended_errcode(m_handle) == SQLITE_CONSTRAINT_UNIQUE
        && qstrcmp(sqlite3_errmsg(m_handle), "UNIQUE constraint failed: DB.ID") == 0;
}

qint32 Catalogue::insertRow(const Row &row)
{
    beginIfNeeded();
    throwDeferred();
    bindRow(row);
    quint32 state = clockSeed();
    int tries = 0;
    for (;;) {
        const qint32 id = drawId(state);
        if (id == 0)
            continue;
        sqlite3_bind_int(m_insert, 1, id);
        const int rc = sqlite3_step(m_insert);
        const bool collision = rc != SQLITE_DONE && idCollision(rc);
        const QString why = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_handle));
        sqlite3_reset(m_insert);
        if (rc == SQLITE_DONE) {
            sqlite3_clear_bindings(m_insert);
            ++m_pending;
            ++m_inserted;
            return id;
        }
        // A drawn ID that is already taken: the ID's unique index says so,
        // draw again. Any other constraint (an index a user added) would
        // refuse every ID alike.
        if (!collision || ++tries > MaxIdDraws) {
            sqlite3_clear_bindings(m_insert);
            throw CatalogueError(why);
        }
    }
}

void Catalogue::beginIfNeeded()
{
    if (m_inTransaction)
        return;
    if (!m_db.transaction())
        throw CatalogueError(failure(m_db.lastError().text()));
    m_inTransaction = true;
    m_sinceCommit.restart();
    m_commitTimer.start(CommitTimerMs);
}

qint64 Catalogue::commitAfterMs() const
{
    return qMax<qint64>(CommitAfterMs, CommitCostFactor * m_lastCommitMs);
}

void Catalogue::commitOnTimer()
{
    // The timer's margin, as at the start: a thread that waits on the network
    // runs its timers every 50 ms.
    const qint64 left = commitAfterMs() - m_sinceCommit.elapsed();
    if (left > CommitAfterMs - CommitTimerMs) {
        m_commitTimer.start(int(left - (CommitAfterMs - CommitTimerMs)));
        return;
    }
    try {
        flush();
    } catch (const CatalogueError &e) {
        m_deferredError = e.message();
    }
}

void Catalogue::throwDeferred()
{
    if (m_deferredError.isEmpty())
        return;
    const QString why = m_deferredError;
    m_deferredError.clear();
    throw CatalogueError(why);
}

void Catalogue::commitIfDue()
{
    if (m_pending >= CommitEvery || m_sinceCommit.elapsed() >= commitAfterMs())
        flush();
}

void Catalogue::flush()
{
    throwDeferred();
    if (!m_inTransaction)
        return;
    m_commitTimer.stop();
    m_inTransaction = false;
    m_pending = 0;
    QElapsedTimer took;
    took.start();
    try {
        if (m_pg) {
            sendBatch();
        } else {
            m_changeLines.write();
            indexNames();
        }
        if (!m_db.commit())
            throw CatalogueError(failure(m_db.lastError().text()));
        m_lastCommitMs = took.elapsed();
        m_sinceCommit.restart();
    } catch (const CatalogueError &) {
        m_db.rollback();
        m_batch.clear();
        m_changeLines.clear();
        m_folderValid = false;
        throw;
    }
}

void Catalogue::sendBatch()
{
    QHash<qint32, qint32> moved;
    try {
        moved = m_batch.send();
    } catch (const CatalogueError &e) {
        // The transaction is void: rolled back at once, so the host's lock
        // and the connection stay usable for what follows.
        const QString why = failure(e.message());
        m_db.rollback();
        m_inTransaction = false;
        m_commitTimer.stop();
        m_pending = 0;
        m_batch.clear();
        m_folderValid = false;
        throw CatalogueError(why);
    }
    if (moved.isEmpty())
        return;
    m_moved.insert(moved);
    for (Child &c : m_folder)
        c.id = moved.value(c.id, c.id);
}

// A PostgreSQL error says what went wrong with the statement; when the
// connection itself is gone the user is told that instead.
QString Catalogue::failure(const QString &why)
{
    if (!m_pg)
        return why;
    QSqlQuery probe(m_db);
    if (m_db.isOpen() && probe.exec(QStringLiteral("SELECT 1")))
        return why.trimmed();
    return QStringLiteral("The connection to the catalogue database was lost: %1").arg(why.trimmed());
}

bool Catalogue::lockHost(const QString &host)
{
    if (!m_pg)
        return true;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT pg_try_advisory_lock(%1, hashtext(?))").arg(HostLockClass));
    q.addBindValue(host.left(HostSize));
    if (!q.exec() || !q.next())
        throw CatalogueError(failure(q.lastError().text()));
    return q.value(0).toBool();
}

void Catalogue::unlockHost(const QString &host)
{
    if (!m_pg)
        return;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT pg_advisory_unlock(%1, hashtext(?))").arg(HostLockClass));
    q.addBindValue(host.left(HostSize));
    q.exec(); // a lost connection has let the lock go already
}

void Catalogue::logChange(const QString &host, const QString &change, qint32 id)
{
    beginIfNeeded();
    m_batch.addChange(host, change, id);
}

void Catalogue::keepChange(const QByteArray &hostUtf8, const QByteArray &change, qint32 id)
{
    beginIfNeeded();
    m_changeLines.add(hostUtf8, change, id);
}

void Catalogue::indexNames()
{
    // Once per commit: FTS5 writes one segment for the whole batch. While a
    // build is unfinished, the next open indexes these rows with the rest.
    if (m_nameIndexReady)
        NameIndex::indexTail(m_db);
}

// Counting 10,000,000 rows reads a whole index (a third of a second), and
// the browser asks after every change of its grid: counted again only when
// another connection committed (data_version) or this one changed a row or
// the schema since.
qint64 Catalogue::recordCount()
{
    if (m_pg) {
        // Other writers change a shared table at any time: counted each time.
        QSqlQuery q = exec(QStringLiteral("SELECT COUNT(*) FROM DB"));
        return q.next() ? q.value(0).toLongLong() : 0;
    }
    QSqlQuery q = exec(QStringLiteral("SELECT (SELECT data_version FROM pragma_data_version), "
                                      "(SELECT schema_version FROM pragma_schema_version)"));
    const QString stamp = q.next() ? QStringLiteral("%1 %2 %3").arg(q.value(0).toLongLong()).arg(q.value(1).toLongLong())
                                         .arg(sqlite3_total_changes64(m_handle))
                                   : QString();
    if (stamp.isEmpty() || stamp != m_countStamp) {
        q = exec(QStringLiteral("SELECT COUNT(*) FROM DB"));
        m_count = q.next() ? q.value(0).toLongLong() : 0;
        m_countStamp = stamp;
    }
    return m_count;
}

std::optional<CatalogueRecord> Catalogue::recordById(qint32 id)
{
    id = currentId(id);
    if (m_pg && !m_batch.isEmpty())
        sendBatch();
    m_byId.bindValue(0, id);
    if (!m_byId.exec())
        throw CatalogueError(failure(m_byId.lastError().text()));
    if (!m_byId.next())
        return std::nullopt;
    const CatalogueRecord r = CatalogueRecord::fromColumns(m_byId);
    m_byId.finish();
    return r;
}
