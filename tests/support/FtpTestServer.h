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

    // Serves root (made readable for the server's unprivileged user).
    bool start(const QString &root, const QString &user = QString(), const QString &password = QString());
    // Kind::Scripted: the misbehaving server, playing one scenario.
    bool startScripted(const QString &scenario);
    void stop();

    quint16 port() const { return m_port; }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
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
    quint16 m_port = 0;
    QProcess m_process;
    QTemporaryDir m_work;
    QString m_error;
};
