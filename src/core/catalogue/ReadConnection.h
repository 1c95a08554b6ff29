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
    // A request begins: its statements have timeoutMs from now, or
    // longerMs for a request known to read every row.
    void startRequest(int longerMs = 0);
    // True once the request's time is up.
    bool timedOut() const { return m_clock.elapsed() >= m_requestMs; }

private:
    void openSqlite(const QString &folder);
    void openPostgres(const QString &url);
    static int onProgress(void *self);

    QString m_name;
    QSqlDatabase m_db;
    int m_timeoutMs;
    int m_requestMs;
    int m_serverMs = 0; // PostgreSQL's statement_timeout as last set
    QElapsedTimer m_clock;
};
