#pragma once
#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QStringList>

// harvex-cli serve as a user starts it, on 127.0.0.1 and a port it picks,
// and requests to it over HTTP. Stopped with SIGTERM when the object goes.
class ServeProcess
{
public:
    struct Reply
    {
        int status = 0;
        QByteArray body;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QJsonObject json;
    };

    ~ServeProcess();
    // Starts serve on the data folder with more options; false when it
    // does not say where it listens within 20 s.
    bool start(const QString &dataDir, const QStringList &options = {});
    // SIGTERM, and the exit code (-1 when it did not end within 20 s).
    int stop();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    quint16 port() const { return m_port; }
    // What it wrote on standard error so far.
    QString log();

    Reply request(const QString &pathAndQuery, const QByteArray &method = "GET",
                  const QHash<QByteArray, QByteArray> &headers = {}, const QByteArray &body = {});

private:
    QProcess m_process;
    QByteArray m_err;
    quint16 m_port = 0;
    QNetworkAccessManager m_net;
};
