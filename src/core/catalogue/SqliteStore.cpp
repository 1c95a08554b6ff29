#include "SqliteStore.h"
#include "CatalogueError.h"
#include "CatalogueUpgrade.h"
#include "IdDraw.h"
#include "SqlDialect.h"
#include "SqlStatement.h"
#include "SqliteNameFold.h"
#include "SqliteRegexp.h"
#include "WalBound.h"
#include "SqliteSchema.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

SqliteStore::~SqliteStore()
{
    // Statements and the log's hook go before the connection closes.
    m_walBound.uninstall();
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_update);
    m_exact.finalize();
    m_changeLines.finalize();
}

QString SqliteStore::fileIn(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("DB.sqlite"));
}

void SqliteStore::open(const QString &folder, const NameIndex::Progress &progress)
{
    if (!QDir().mkpath(folder))
        throw CatalogueError(QStringLiteral("Cannot create the folder %1").arg(folder));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(fileIn(folder));
    if (!m_db.open())
        throw CatalogueError(m_db.lastError().text());
    SqliteNameFold::install(SqlDialect::sqliteHandle(m_db));
    SqliteRegexp::install(SqlDialect::sqliteHandle(m_db));
    SqliteSchema::tune(m_db);
    // The checkpoint size tune() chose, kept by the bound from now on.
    QSqlQuery pages = SqlStatement::exec(m_db, QStringLiteral("PRAGMA wal_autocheckpoint"));
    m_walBound.install(SqlDialect::sqliteHandle(m_db), pages.next() ? pages.value(0).toInt() : 65536);
    SqliteSchema::create(m_db);
    CatalogueUpgrade::upgradeSqlite(m_db);
    // A file that cannot be written keeps what it has: without the index
    // its finds scan, and find the same.
    if (sqlite3_db_readonly(SqlDialect::sqliteHandle(m_db), "main") == 1)
        m_nameIndexReady = NameIndex::isReady(m_db);
    else
        m_nameIndexReady = NameIndex::ensure(m_db, progress);
    prepareStatements();
}

void SqliteStore::prepareStatements()
{
    m_handle = SqlDialect::sqliteHandle(m_db);
    m_insert = SqlStatement::persistent(
        m_handle, "INSERT INTO DB (ID, PID, Size, Name, ext, Host, LAC, Attr) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    m_update = SqlStatement::persistent(m_handle, "UPDATE DB SET Size = ?, LAC = ? WHERE ID = ?");
    m_exact.prepare(m_handle);
    m_changeLines.prepare(m_handle);
}

bool SqliteStore::idCollision(int rc) const
{
    return (rc & 0xFF) == SQLITE_CONSTRAINT && sqlite3_extended_errcode(m_handle) == SQLITE_CONSTRAINT_UNIQUE
        && qstrcmp(sqlite3_errmsg(m_handle), "UNIQUE constraint failed: DB.ID") == 0;
}

qint32 SqliteStore::insertRow(const NewRow &row)
{
    const QByteArray name = row.split.name.toUtf8();
    const QByteArray ext = row.split.ext.toUtf8();
    sqlite3_bind_int(m_insert, 2, row.pid);
    sqlite3_bind_int64(m_insert, 3, row.size);
    sqlite3_bind_text(m_insert, 4, name.constData(), int(name.size()), SQLITE_STATIC);
    sqlite3_bind_text(m_insert, 5, ext.constData(), int(ext.size()), SQLITE_STATIC);
    sqlite3_bind_text(m_insert, 6, row.hostUtf8.constData(), int(row.hostUtf8.size()), SQLITE_STATIC);
    sqlite3_bind_double(m_insert, 7, row.lac);
    sqlite3_bind_int(m_insert, 8, row.attr);
    IdDraw ids;
    for (int tries = 0;;) {
        const qint32 id = ids.next();
        sqlite3_bind_int(m_insert, 1, id);
        const int rc = sqlite3_step(m_insert);
        const bool collision = rc != SQLITE_DONE && idCollision(rc);
        const QString why = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_handle));
        sqlite3_reset(m_insert);
        if (rc == SQLITE_DONE) {
            sqlite3_clear_bindings(m_insert);
            m_exact.keep(id, row.split, row.bytes);
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

void SqliteStore::updateRow(qint32 id, qint64 size, double lac)
{
    sqlite3_bind_int64(m_update, 1, size);
    sqlite3_bind_double(m_update, 2, lac);
    sqlite3_bind_int(m_update, 3, id);
    step(m_update);
}

void SqliteStore::step(sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(m_handle)));
}

void SqliteStore::insertCopies(const QList<CopiedRow> &rows)
{
    QSqlQuery insert(m_db), exact(m_db);
    insert.prepare(QStringLiteral("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    exact.prepare(QStringLiteral("INSERT INTO ExactName (ID, Bytes) VALUES (?, ?)"));
    for (const CopiedRow &r : rows) {
        const QVariantList values{r.name, r.ext, r.size, r.host, r.attr, r.lac, r.id, r.pid};
        for (int i = 0; i < values.size(); ++i)
            insert.bindValue(i, values[i]);
        if (!insert.exec())
            throw CatalogueError(insert.lastError().text());
        if (r.bytes.isNull())
            continue;
        exact.bindValue(0, r.id);
        exact.bindValue(1, r.bytes.toByteArray());
        if (!exact.exec())
            throw CatalogueError(exact.lastError().text());
    }
}

void SqliteStore::addChange(const QString &, const QByteArray &hostUtf8, const QByteArray &change, qint32 id)
{
    m_changeLines.add(hostUtf8, change, id);
}

void SqliteStore::beforeCommit()
{
    m_changeLines.write();
    // Once per commit: FTS5 writes one segment for the whole batch. While a
    // build is unfinished, the next open indexes these rows with the rest.
    if (m_nameIndexReady)
        NameIndex::indexTail(m_db);
}

// Counting 10,000,000 rows reads a whole index (a third of a second), and
// the browser asks after every change of its grid: counted again only when
// another connection committed (data_version) or this one changed a row or
// the schema since.
qint64 SqliteStore::recordCount()
{
    QSqlQuery q = SqlStatement::exec(m_db, QStringLiteral("SELECT (SELECT data_version FROM pragma_data_version), "
                                                          "(SELECT schema_version FROM pragma_schema_version)"));
    const QString stamp = q.next() ? QStringLiteral("%1 %2 %3").arg(q.value(0).toLongLong()).arg(q.value(1).toLongLong())
                                         .arg(sqlite3_total_changes64(m_handle))
                                   : QString();
    if (stamp.isEmpty() || stamp != m_countStamp) {
        q = SqlStatement::exec(m_db, QStringLiteral("SELECT COUNT(*) FROM DB"));
        m_count = q.next() ? q.value(0).toLongLong() : 0;
        m_countStamp = stamp;
    }
    return m_count;
}
