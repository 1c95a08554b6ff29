#include "HeadlessBrowser.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

HeadlessBrowser::~HeadlessBrowser()
{
    m_socket.close();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString HeadlessBrowser::program()
{
    return QStandardPaths::findExecutable(QStringLiteral("chromium"));
}

namespace {
QByteArray fetch(const QString &url)
{
    QNetworkAccessManager net;
    QNetworkReply *reply = net.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}
} // namespace

bool HeadlessBrowser::start(const QString &url, int width, int height)
{
    // Root needs --no-sandbox; the profile is thrown away; nothing reaches
    // out but to the page's own server on the loopback.
    m_process.start(program(), {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                "--disable-extensions", "--disable-background-networking", "--disable-sync",
                                "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                                "--remote-allow-origins=*", "--user-data-dir=" + m_profile.path(),
                                QStringLiteral("--window-size=%1,%2").arg(width).arg(height), url});
    static const QRegularExpression listening(QStringLiteral("ws://127\\.0\\.0\\.1:(\\d+)/"));
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    QString port;
    while (port.isEmpty() && clock.elapsed() < 30000 && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(200);
        err += m_process.readAllStandardError();
        port = listening.match(QString::fromUtf8(err)).captured(1);
    }
    if (port.isEmpty()) {
        m_error = QStringLiteral("chromium did not start: ") + QString::fromUtf8(err.right(500));
        return false;
    }
    QString target;
    for (int i = 0; i < 50 && target.isEmpty(); ++i) {
        for (const QJsonValue &t : QJsonDocument::fromJson(fetch("http://127.0.0.1:" + port + "/json/list")).array())
            if (t["type"].toString() == QLatin1String("page"))
                target = t["webSocketDebuggerUrl"].toString();
        if (target.isEmpty())
            QThread::msleep(100);
    }
    QEventLoop loop;
    QObject::connect(&m_socket, &QWebSocket::connected, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    m_socket.open(QUrl(target));
    loop.exec();
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_error = QStringLiteral("no DevTools page to drive: ") + m_socket.errorString();
        return false;
    }
    return true;
}

QJsonObject HeadlessBrowser::call(const QString &method, const QJsonObject &params)
{
    const int id = m_nextId++;
    QJsonObject answer;
    QEventLoop loop;
    const auto connection = QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &loop, [&](const QString &text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message["id"].toInt() != id)
            return; // an event, or the answer to another call
        answer = message["result"].toObject();
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    m_socket.sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}}).toJson(QJsonDocument::Compact)));
    loop.exec();
    QObject::disconnect(connection);
    return answer;
}

QJsonValue HeadlessBrowser::evaluate(const QString &script)
{
    return call("Runtime.evaluate", {{"expression", script}, {"returnByValue", true}})["result"].toObject()["value"];
}

bool HeadlessBrowser::waitFor(const QString &script)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        if (evaluate(script).toBool())
            return true;
        QThread::msleep(100);
    }
    return false;
}

void HeadlessBrowser::type(const QString &text)
{
    for (const QChar c : text)
        call("Input.dispatchKeyEvent", {{"type", "char"}, {"text", QString(c)}});
    const QJsonObject enter{{"key", "Enter"}, {"code", "Enter"}, {"windowsVirtualKeyCode", 13}, {"text", "\r"}};
    QJsonObject down = enter, up = enter;
    down["type"] = "keyDown";
    up["type"] = "keyUp";
    up.remove("text");
    call("Input.dispatchKeyEvent", down);
    call("Input.dispatchKeyEvent", up);
}

bool HeadlessBrowser::screenshot(const QString &pngPath)
{
    const QByteArray png = QByteArray::fromBase64(call("Page.captureScreenshot", {{"format", "png"}})["data"].toString().toLatin1());
    QFile file(pngPath);
    return !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}
