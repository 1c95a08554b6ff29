#include "BenchServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <pwd.h>

namespace {
QString serversDir()
{
    const QString dir = qEnvironmentVariable("HARVEX_SERVERS");
    return dir.isEmpty() ? QStringLiteral("/tmp/harvex-servers") : dir;
}

// The servers drop to the ftp account: every folder on the way to the
// tree must be searchable.
void openUpTo(const QString &root)
{
    for (QString dir = QDir(root).absolutePath(); dir.size() > 1; dir = QFileInfo(dir).absolutePath())
        QFile::setPermissions(dir, QFile::permissions(dir) | QFileDevice::ExeOther | QFileDevice::ReadOther);
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
}
} // namespace

BenchServer::BenchServer(const QString &name)
    : m_name(name)
{
}

BenchServer::~BenchServer()
{
    for (auto &p : m_processes) {
        ::kill(pid_t(p->processId()), SIGTERM);
        if (!p->waitForFinished(3000))
            p->kill();
    }
}

QString BenchServer::user() const
{
    return m_name == QLatin1String("pureftpd") ? QStringLiteral("bench") : QStringLiteral("anonymous");
}

QString BenchServer::unpacked(const QString &path) const
{
    return serversDir() + QStringLiteral("/root") + path;
}

bool BenchServer::start(const QString &root)
{
    if (m_name.startsWith(QLatin1String("vsftpd")) || m_name == QLatin1String("pyftpdlib")) {
        m_test = std::make_unique<FtpTestServer>(m_name == QLatin1String("pyftpdlib") ? FtpTestServer::Kind::Pyftpdlib
                                                                                       : FtpTestServer::Kind::Vsftpd);
        if (m_name == QLatin1String("vsftpd-tls") && !m_test->enableTls()) {
            m_error = QStringLiteral("cannot make a certificate with openssl");
            return false;
        }
        const bool ok = m_test->start(root);
        m_port = m_test->port();
        m_error = m_test->error();
        return ok;
    }
    if (!QFile::exists(unpacked(QStringLiteral("/usr/sbin/proftpd")))) {
        m_error = QStringLiteral("run bench/unpack_servers.sh %1 first").arg(serversDir());
        return false;
    }
    QDir().mkpath(root);
    openUpTo(root);
    openUpTo(m_work.path());
    m_port = FtpTestServer::freePort();
    return m_name == QLatin1String("proftpd") ? startProftpd(root) : startPureFtpd(root);
}

bool BenchServer::startProftpd(const QString &root)
{
    const QString w = m_work.path();
    const QString conf = QStringLiteral(
        "ServerType standalone\nDefaultServer on\nPort %1\nDefaultAddress 127.0.0.1\nUser nobody\nGroup nogroup\n"
        "UseIPv6 off\nWtmpLog off\nScoreboardFile %2/scoreboard\nPidFile %2/proftpd.pid\nDelayTable none\n"
        "MaxInstances 64\nUseReverseDNS off\nTransferLog none\nSystemLog %2/proftpd.log\n"
        "<Anonymous %3>\n  User ftp\n  Group ftp\n  UserAlias anonymous ftp\n  RequireValidShell off\n"
        "  MaxClients 64\n</Anonymous>\n").arg(m_port).arg(w, root);
    writeFile(w + QStringLiteral("/proftpd.conf"), conf.toUtf8());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QStringList libs = QDir(unpacked(QStringLiteral("/usr/lib"))).entryList({"*-linux-gnu"}, QDir::Dirs);
    if (!libs.isEmpty())
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), unpacked(QStringLiteral("/usr/lib/")) + libs.first());
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    m_processes.push_back(std::move(p));
    return launch(unpacked(QStringLiteral("/usr/sbin/proftpd")), {"-n", "-c", w + QStringLiteral("/proftpd.conf")});
}

// Any name logs on, as the ftp account, into the tree: an authentication
// script answers for every user.
bool BenchServer::startPureFtpd(const QString &root)
{
    const QString w = m_work.path();
    const passwd *ftp = getpwnam("ftp");
    if (!ftp) {
        m_error = QStringLiteral("the ftp account is needed (the vsftpd package makes it)");
        return false;
    }
    writeFile(w + QStringLiteral("/auth.sh"), QStringLiteral("#!/bin/sh\necho auth_ok:1\necho uid:%1\necho gid:%2\n"
                                                             "echo dir:%3\necho end\n")
                                                  .arg(ftp->pw_uid).arg(ftp->pw_gid).arg(root).toUtf8());
    QFile::setPermissions(w + QStringLiteral("/auth.sh"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    m_processes.push_back(std::make_unique<QProcess>());
    m_processes.back()->start(unpacked(QStringLiteral("/usr/sbin/pure-authd")),
                              {"-s", w + QStringLiteral("/authd.sock"), "-r", w + QStringLiteral("/auth.sh")});
    for (int i = 0; i < 50 && !QFile::exists(w + QStringLiteral("/authd.sock")); ++i)
        QThread::msleep(20);
    m_processes.push_back(std::make_unique<QProcess>());
    return launch(unpacked(QStringLiteral("/usr/sbin/pure-ftpd")),
                  {"-S", QStringLiteral("127.0.0.1,%1").arg(m_port), "-l",
                   QStringLiteral("extauth:%1/authd.sock").arg(w), "-E", "-c", "64", "-C", "64", "-H", "-A"});
}

bool BenchServer::launch(const QString &program, const QStringList &args)
{
    QProcess &p = *m_processes.back();
    p.setStandardOutputFile(m_work.filePath(QStringLiteral("server.out")));
    p.setStandardErrorFile(m_work.filePath(QStringLiteral("server.err")));
    p.start(program, args);
    if (!p.waitForStarted(5000)) {
        m_error = p.errorString();
        return false;
    }
    return waitForPort();
}

bool BenchServer::waitForPort()
{
    for (int i = 0; i < 100; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    m_error = QStringLiteral("%1 does not answer on port %2").arg(m_name).arg(m_port);
    return false;
}
