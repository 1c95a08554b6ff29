#include "FtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <unistd.h>

namespace {
// Debian's pyftpdlib is importable only by Debian's own interpreter.
const char *DebianPython = "/usr/bin/python3";
const char *Vsftpd = "/usr/sbin/vsftpd";

void openUpTo(const QString &root)
{
    // vsftpd drops to the "ftp" user: every folder on the way must be searchable.
    QFileInfo info(root);
    QString dir = info.absoluteFilePath();
    while (!dir.isEmpty() && dir != QStringLiteral("/")) {
        QFile::setPermissions(dir, QFile::permissions(dir) | QFileDevice::ExeOther | QFileDevice::ReadOther
                                       | QFileDevice::ExeGroup | QFileDevice::ReadGroup);
        dir = QFileInfo(dir).absolutePath();
    }
}
} // namespace

FtpTestServer::FtpTestServer(Kind kind)
    : m_kind(kind)
{
}

FtpTestServer::~FtpTestServer()
{
    stop();
}

bool FtpTestServer::available(Kind kind)
{
    switch (kind) {
    case Kind::Vsftpd:
        return QFile::exists(QString::fromLatin1(Vsftpd)) && geteuid() == 0;
    case Kind::Pyftpdlib:
        return QProcess::execute(QString::fromLatin1(DebianPython), {"-c", "import pyftpdlib"}) == 0;
    case Kind::Scripted:
        return QFile::exists(QString::fromLatin1(DebianPython));
    }
    return false;
}

quint16 FtpTestServer::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void FtpTestServer::makeFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.resize(size);
}

QString FtpTestServer::vsftpdConfig(const QString &root)
{
    const QString path = m_work.filePath(QStringLiteral("vsftpd.conf"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    const QStringList lines = {
        "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1",
        QStringLiteral("listen_port=%1").arg(m_port), "anonymous_enable=YES",
        "anon_root=" + root, "no_anon_password=YES", "local_enable=NO", "write_enable=NO",
        "connect_from_port_20=YES", "seccomp_sandbox=NO", "background=NO", "ftp_username=ftp",
        "secure_chroot_dir=" + m_work.filePath(QStringLiteral("empty")), "hide_ids=NO",
        "max_per_ip=0", "max_clients=0", "xferlog_enable=NO", "syslog_enable=NO",
        "vsftpd_log_file=/dev/null", "dual_log_enable=NO",
    };
    QStringList tls;
    if (m_tls)
        tls = {"ssl_enable=YES", "allow_anon_ssl=YES", "force_anon_logins_ssl=YES", "force_anon_data_ssl=YES",
               "require_ssl_reuse=YES", "ssl_ciphers=HIGH", "rsa_cert_file=" + m_work.filePath("cert.pem"),
               "rsa_private_key_file=" + m_work.filePath("key.pem"), m_implicit ? "implicit_ssl=YES" : "implicit_ssl=NO"};
    QDir().mkpath(m_work.filePath(QStringLiteral("empty")));
    f.write((lines + tls).join(u'\n').toUtf8() + '\n');
    return path;
}

bool FtpTestServer::start(const QString &root, const QString &user, const QString &password)
{
    m_port = m_fixedPort ? m_fixedPort : freePort();
    openUpTo(root);
    if (m_kind == Kind::Vsftpd)
        return launch(QString::fromLatin1(Vsftpd), {vsftpdConfig(QFileInfo(root).absoluteFilePath())});
    QStringList args{"-m", "pyftpdlib", "-i", "127.0.0.1", "-p", QString::number(m_port), "-d", root};
    if (!user.isEmpty())
        args << "-u" << user << "-P" << password;
    return launch(QString::fromLatin1(DebianPython), args);
}

bool FtpTestServer::startZoned(const QString &root, const QString &zone, const QStringList &flags)
{
    m_port = m_fixedPort ? m_fixedPort : freePort();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), zone);
    m_process.setProcessEnvironment(env);
    return launch(QString::fromLatin1(DebianPython),
                  QStringList{QStringLiteral(HARVEX_TEST_SCRIPTS "/zoneftp.py"), QString::number(m_port), root,
                              m_work.filePath(QStringLiteral("commands.log"))}
                      + flags);
}

bool FtpTestServer::startScripted(const QString &scenario, const QString &host)
{
    m_host = host;
    m_port = freePort();
    return launch(QString::fromLatin1(DebianPython),
                  {QStringLiteral(HARVEX_TEST_SCRIPTS "/badftp.py"), QString::number(m_port), scenario,
                   m_work.filePath(QStringLiteral("commands.log")), host, m_work.path()});
}

QStringList FtpTestServer::receivedCommands() const
{
    QFile f(m_work.filePath(QStringLiteral("commands.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

bool FtpTestServer::enableTls(bool implicit)
{
    m_tls = true;
    m_implicit = implicit;
    const QString cert = m_work.filePath(QStringLiteral("cert.pem"));
    const QString key = m_work.filePath(QStringLiteral("key.pem"));
    // An elliptic-curve key: made in milliseconds, where RSA takes a while.
    const int made = QProcess::execute(QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
         "-out", cert, "-days", "2", "-subj", "/CN=harvex-test.invalid"});
    QProcess print;
    print.start(QStringLiteral("openssl"), {"x509", "-noout", "-fingerprint", "-sha256", "-in", cert});
    print.waitForFinished(10000);
    m_fingerprint = QString::fromLatin1(print.readAllStandardOutput()).trimmed();
    QFile::setPermissions(key, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return made == 0 && !m_fingerprint.isEmpty();
}

bool FtpTestServer::launch(const QString &program, const QStringList &args)
{
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(program, args);
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return false;
    }
    return waitUntilListening();
}

bool FtpTestServer::waitUntilListening()
{
    for (int i = 0; i < 100; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress(m_host), m_port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("server exited");
            return false;
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("server did not listen");
    return false;
}

void FtpTestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(3000)) {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(3000);
    }
}
