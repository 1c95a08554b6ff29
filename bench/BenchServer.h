#pragma once
#include "FtpTestServer.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

// One of the servers the benchmarks time, on 127.0.0.1 and a free port:
// vsftpd and pyftpdlib as the tests run them, ProFTPD and Pure-FTPd from
// the Debian packages bench/unpack_servers.sh unpacks (into
// $HARVEX_SERVERS, default /tmp/harvex-servers). Stopped by PID when the
// object goes.
class BenchServer
{
public:
    // "vsftpd-tls": vsftpd with explicit TLS and a certificate made now.
    static QStringList names() { return {"vsftpd", "pyftpdlib", "proftpd", "pureftpd"}; }

    explicit BenchServer(const QString &name);
    ~BenchServer();

    bool start(const QString &root);
    quint16 port() const { return m_port; }
    // The account to log on with: anonymous, except on Pure-FTPd, which
    // takes any other name through its authentication script.
    QString user() const;
    QString error() const { return m_error; }
    // The certificate's SHA-256 as openssl prints it; empty without TLS.
    QString fingerprint() const { return m_test ? m_test->certificateFingerprint().section(u'=', 1) : QString(); }

private:
    bool startProftpd(const QString &root);
    bool startPureFtpd(const QString &root);
    bool launch(const QString &program, const QStringList &args);
    bool waitForPort();
    QString unpacked(const QString &path) const;

    QString m_name;
    quint16 m_port = 0;
    QString m_error;
    std::unique_ptr<FtpTestServer> m_test;
    QTemporaryDir m_work;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
