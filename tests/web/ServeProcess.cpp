#include "ServeProcess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <csignal>

ServeProcess::~ServeProcess()
{
    if (m_process.state() != QProcess::NotRunning)
        stop();
}

bool ServeProcess::start(const QString &dataDir, const QStringList &options)
{
    m_process.start(QStringLiteral(HARVEX_CLI),
                    QStringList{"serve", "--listen", "127.0.0.1:0", "--data", dataDir} + options);
    static const QRegularExpression listening(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/"));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(200);
        m_err += m_process.readAllStandardError();
        const QRegularExpressionMatch m = listening.match(QString::fromUtf8(m_err));
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    m_err += m_process.readAllStandardError();
    return false;
}

int ServeProcess::stop()
{
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(20000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    m_err += m_process.readAllStandardError();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString ServeProcess::log()
{
    m_err += m_process.readAllStandardError();
    return QString::fromUtf8(m_err);
}

ServeProcess::Reply ServeProcess::request(const QString &pathAndQuery, const QByteArray &method,
                                          const QHash<QByteArray, QByteArray> &headers, const QByteArray &body)
{
    QNetworkRequest req(QUrl(baseUrl() + pathAndQuery, QUrl::StrictMode));
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        req.setRawHeader(it.key(), it.value());
    QNetworkReply *reply = m_net.sendCustomRequest(req, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    Reply r;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.body = reply->readAll();
    for (const auto &[name, value] : reply->rawHeaderPairs())
        r.headers.insert(name.toLower(), value);
    r.json = QJsonDocument::fromJson(r.body).object();
    reply->deleteLater();
    return r;
}
