#pragma once
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>

// A connection to the catalogue that cannot write, for those who only
// search it (the web page's threads, one each). SQLite: the file opened
// with mode=ro and query_only, and every statement stopped once the
// request's time is up; PostgreSQL: every transaction read-only, and the
// server's statement_timeout. Used by one thread at a time.
class ReadConnection
{
public:
    // where: the data folder or a PostgreSQL address. Throws CatalogueError.
    ReadConnection(const QString &where, int timeoutMs);
    ~ReadConnection();
    ReadConnection(const ReadConnection &) = delete;
    ReadConnection &operator=(const ReadConnection &) = delete;

    QSqlDatabase database() const { return m_db; }
    // A request begins: on SQLite its statements have timeoutMs from now.
    void startRequest();

private:
    void openSqlite(const QString &folder);
    void openPostgres(const QString &url);
    static int onProgress(void *self);

    QString m_name;
    QSqlDatabase m_db;
    int m_timeoutMs;
    QElapsedTimer m_clock;
};
