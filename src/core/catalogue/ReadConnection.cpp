#include "ReadConnection.h"
#include "CatalogueAddress.h"
#include "CatalogueError.h"
#include "SqlDialect.h"
#include "SqlStatement.h"
#include "SqliteNameFold.h"
#include "SqliteRegexp.h"
#include "SqliteStore.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>
#include <sqlite3.h>

namespace {
QAtomicInteger<quint64> g_connections;

// SQLite calls the handler every this many virtual machine steps: about a
// tenth of a millisecond each time.
constexpr int ProgressSteps = 10000;
} // namespace

ReadConnection::ReadConnection(const QString &where, int timeoutMs)
    : m_name(QStringLiteral("harvex-read-%1").arg(g_connections.fetchAndAddRelaxed(1)))
    , m_timeoutMs(timeoutMs)
    , m_requestMs(timeoutMs)
{
    m_clock.start();
    if (CatalogueAddress::isUrl(where))
        openPostgres(where);
    else
        openSqlite(where);
}

ReadConnection::~ReadConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

void ReadConnection::openSqlite(const QString &folder)
{
    const QString file = SqliteStore::fileIn(folder);
    if (!QFileInfo::exists(file))
        throw CatalogueError(QStringLiteral("There is no catalogue at %1").arg(file));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=ro"));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open())
        throw CatalogueError(m_db.lastError().text());
    sqlite3 *handle = SqlDialect::sqliteHandle(m_db);
    SqliteNameFold::install(handle);
    SqliteRegexp::install(handle);
    SqlStatement::exec(m_db, QStringLiteral("PRAGMA query_only=1"));
    // 16 MB of pages for each reader: the indexes' upper levels stay in
    // memory, and a pool of them stays far below the file's size.
    SqlStatement::exec(m_db, QStringLiteral("PRAGMA cache_size=-16384"));
    sqlite3_progress_handler(handle, ProgressSteps, &ReadConnection::onProgress, this);
}

void ReadConnection::openPostgres(const QString &url)
{
    m_db = CatalogueAddress::connection(url, m_name);
    if (!m_db.open())
        throw CatalogueError(QStringLiteral("Cannot open the catalogue database %1: %2")
                                 .arg(CatalogueAddress::shown(url), m_db.lastError().text().trimmed()));
    SqlStatement::exec(m_db, QStringLiteral("SET default_transaction_read_only = on"));
    startRequest();
}

void ReadConnection::startRequest(int longerMs)
{
    m_requestMs = longerMs > 0 ? longerMs : m_timeoutMs;
    if (m_db.driverName() == QLatin1String("QPSQL") && m_serverMs != m_requestMs) {
        SqlStatement::exec(m_db, QStringLiteral("SET statement_timeout = %1").arg(m_requestMs));
        m_serverMs = m_requestMs;
    }
    m_clock.restart();
}

// Non-zero stops the statement, which then fails as interrupted.
int ReadConnection::onProgress(void *self)
{
    return static_cast<ReadConnection *>(self)->timedOut() ? 1 : 0;
}
