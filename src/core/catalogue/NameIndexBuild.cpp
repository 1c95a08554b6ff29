#include "NameIndexBuild.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "NameIndex.h"
#include "SqlDialect.h"
#include "SqliteNameFold.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <sqlite3.h>

namespace {
// A connection for this thread only: QtSql ties a connection to the thread
// that opened it.
class OwnConnection
{
public:
    explicit OwnConnection(const QString &file)
        : m_name(QStringLiteral("NameIndexBuild-%1").arg(quintptr(QThread::currentThread())))
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(file);
        if (!m_db.open())
            throw CatalogueError(m_db.lastError().text());
        // A scan by the other program on the same catalogue may hold the
        // write lock for a commit.
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout=10000"));
        SqliteNameFold::install(SqlDialect::sqliteHandle(m_db));
    }
    ~OwnConnection()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

bool hasTable(QSqlDatabase db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'DB'")))
        throw CatalogueError(q.lastError().text());
    return q.next();
}
} // namespace

NameIndexBuild::NameIndexBuild(const QString &file, QObject *parent)
    : QObject(parent)
    , m_file(file)
{
}

NameIndexBuild::~NameIndexBuild()
{
    if (!m_thread)
        return;
    cancel();
    m_thread->wait();
    delete m_thread;
}

bool NameIndexBuild::needed(const QString &file)
{
    if (!QFile::exists(file))
        return false;
    const OwnConnection c(file);
    const bool writable = sqlite3_db_readonly(SqlDialect::sqliteHandle(c.db()), "main") != 1;
    return writable && hasTable(c.db()) && !NameIndex::isReady(c.db());
}

void NameIndexBuild::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { work(); });
    m_thread->start();
}

// A catalogue made before the table's own indexes gets them here too, so
// that the open which follows on the window's thread has nothing to build.
void NameIndexBuild::prepareSchema()
{
    Catalogue catalogue;
    catalogue.open(QFileInfo(m_file).path(), [](qint64, qint64) { return false; });
    catalogue.close();
}

void NameIndexBuild::work()
{
    bool complete = false;
    QString error;
    try {
        emit progress(0, 0);
        prepareSchema();
        const OwnConnection c(m_file);
        complete = NameIndex::ensure(c.db(), [this](qint64 done, qint64 total) {
            emit progress(done, total);
            return !m_cancel.load();
        }, Batch);
    } catch (const CatalogueError &e) {
        error = e.message();
    }
    emit finished(complete, error);
}
