#pragma once
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway PostgreSQL: initdb and pg_ctl into a temporary folder, its
// socket in that folder and no TCP port. Run as root, the server runs as
// "nobody" (PostgreSQL refuses root). Stopped when the object goes.
class PgTestServer
{
public:
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer &) = delete;
    PgTestServer &operator=(const PgTestServer &) = delete;

    // The folder of initdb and pg_ctl (Debian's newest version); empty when
    // PostgreSQL is not installed.
    static QString binDir();
    bool start();
    // Stops at once, as a crash or a pulled cable would for the client.
    void stop();
    bool isRunning() const { return m_running; }
    // Makes an empty database; false on failure (see error()).
    bool createDatabase(const QString &name);
    // A postgresql:// address of database name, through the socket folder.
    QString url(const QString &name) const;
    QString error() const { return m_error; }

private:
    bool runTool(const QString &tool, const QStringList &args);

    QTemporaryDir m_dir;
    QString m_data;
    bool m_running = false;
    QString m_error;
};
