#include "PgTestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVersionNumber>
#include <pwd.h>
#include <unistd.h>

namespace {
const char *const User = "harvex";
constexpr int Port = 5432; // names the socket file only: no TCP port is opened

// Root may not run PostgreSQL: the server runs as nobody, in a folder it owns.
bool asRoot()
{
    return geteuid() == 0;
}

void handOver(const QString &path)
{
    if (const passwd *pw = getpwnam("nobody"); pw && asRoot())
        [[maybe_unused]] const int rc = chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid);
}
} // namespace

PgTestServer::PgTestServer()
{
    m_data = m_dir.filePath(QStringLiteral("data"));
}

PgTestServer::~PgTestServer()
{
    stop();
}

QString PgTestServer::binDir()
{
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber newest;
    for (const QString &v : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString dir = root.filePath(v + QStringLiteral("/bin"));
        const QVersionNumber n = QVersionNumber::fromString(v);
        if (QFile::exists(dir + QStringLiteral("/pg_ctl")) && QFile::exists(dir + QStringLiteral("/initdb"))
            && n > newest) {
            newest = n;
            best = dir;
        }
    }
    return best;
}

bool PgTestServer::runTool(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = binDir() + u'/' + tool;
    if (asRoot())
        p.start(QStringLiteral("runuser"), QStringList{"-u", "nobody", "--", program} + args);
    else
        p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = tool + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool PgTestServer::start()
{
    if (binDir().isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/pg_ctl)");
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    handOver(m_dir.path());
    // A UTF-8 locale folds every letter: finds must still fold A to Z only.
    // Started again after stop(), the cluster is kept.
    if (!QFile::exists(m_data) && !runTool(QStringLiteral("initdb"), {"-D", m_data, "-U", User, "--auth=trust", "-E", "UTF8",
                                            "--locale=C.UTF-8", "--no-sync"}))
        return false;
    const QString options = QStringLiteral("-k %1 -c listen_addresses='' -p %2 -c fsync=off").arg(m_dir.path()).arg(Port);
    if (!runTool(QStringLiteral("pg_ctl"), {"-D", m_data, "-o", options, "-l", m_dir.filePath("server.log"), "-w", "start"}))
        return false;
    m_running = true;
    return true;
}

void PgTestServer::stop()
{
    if (!m_running)
        return;
    runTool(QStringLiteral("pg_ctl"), {"-D", m_data, "-m", "immediate", "-w", "stop"});
    m_running = false;
}

QString PgTestServer::url(const QString &name) const
{
    // Concatenated: the encoded path's "%2F" must not meet QString::arg().
    return QStringLiteral("postgresql://") + QLatin1String(User) + QStringLiteral("@/") + name + QStringLiteral("?host=")
        + QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())) + QStringLiteral("&port=") + QString::number(Port);
}

bool PgTestServer::createDatabase(const QString &name)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgtestserver"));
        db.setHostName(m_dir.path());
        db.setPort(Port);
        db.setUserName(QLatin1String(User));
        db.setDatabaseName(QStringLiteral("postgres"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!ok)
                m_error = q.lastError().text();
        } else {
            m_error = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgtestserver"));
    return ok;
}
