#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server on 127.0.0.1 and a free port, serving a folder the test
// fills. Stopped by its PID when the object goes.
class FtpTestServer
{
public:
    enum class Kind { Vsftpd, Pyftpdlib, Scripted };

    explicit FtpTestServer(Kind kind);
    ~FtpTestServer();

    // Before start(): listen on port rather than on a free one, as a server
    // that comes back after it went away does.
    void setPort(quint16 port) { m_fixedPort = port; }
    // Serves root (made readable for the server's unprivileged user).
    bool start(const QString &root, const QString &user = QString(), const QString &password = QString());
    // Kind::Pyftpdlib keeping its clock in zone (TZ, "Asia/Kolkata"): ls
    // lines print local times, MLSD and MDTM UTC. flags: "--no-mlsd",
    // "--no-stat" (see zoneftp.py). Commands it receives go to commandLog().
    bool startZoned(const QString &root, const QString &zone, const QStringList &flags = {});
    // Kind::Scripted: the misbehaving server, playing one scenario, on
    // 127.0.0.1 or host ("::1"). Commands it receives go to commandLog().
    bool startScripted(const QString &scenario, const QString &host = QStringLiteral("127.0.0.1"));
    // Every command the scripted or zoned server received, one a line.
    QStringList receivedCommands() const;

    // Kind::Vsftpd: serve over TLS (explicit, or implicit from the first
    // byte) with a self-signed certificate made now with openssl. Before start().
    bool enableTls(bool implicit = false);
    // As `openssl x509 -fingerprint -sha256` prints it.
    QString certificateFingerprint() const { return m_fingerprint; }
    void stop();

    quint16 port() const { return m_port; }
    QString hostText() const
    {
        return m_host.contains(u':') ? QStringLiteral("[%1]:%2").arg(m_host).arg(m_port)
                                     : QStringLiteral("%1:%2").arg(m_host).arg(m_port);
    }
    QString error() const { return m_error; }
    static bool available(Kind kind);
    static quint16 freePort();

    // Writes files under root: "dir/" makes a folder, "name" a file of size bytes.
    static void makeFile(const QString &path, qint64 size);

private:
    bool launch(const QString &program, const QStringList &args);
    bool waitUntilListening();
    QString vsftpdConfig(const QString &root);

    Kind m_kind;
    QString m_host = QStringLiteral("127.0.0.1");
    quint16 m_port = 0;
    quint16 m_fixedPort = 0;
    bool m_tls = false;
    bool m_implicit = false;
    QString m_fingerprint;
    QProcess m_process;
    QTemporaryDir m_work;
    QString m_error;
};
