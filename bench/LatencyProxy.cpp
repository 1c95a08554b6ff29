#include "LatencyProxy.h"
#include "ProxiedConnection.h"

#include <QRegularExpression>

LatencyProxy::LatencyProxy(quint16 upstreamPort, std::chrono::microseconds oneWay, bool forData, QObject *parent)
    : QObject(parent)
    , m_server(this)
    , m_upstream(upstreamPort)
    , m_oneWay(oneWay)
    , m_forData(forData)
{
    // Clients open many connections at once (rclone, one per checker).
    m_server.setMaxPendingConnections(256);
    connect(&m_server, &QTcpServer::newConnection, this, &LatencyProxy::accept);
}

bool LatencyProxy::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void LatencyProxy::accept()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        ++m_connections;
        ProxiedConnection::Rewrite rewrite;
        if (!m_forData)
            rewrite = [this](const QByteArray &lines) { return rewritePassive(lines); };
        auto *c = new ProxiedConnection(client, m_upstream, m_oneWay, rewrite, this);
        connect(c, &ProxiedConnection::finished, c, &QObject::deleteLater);
        if (m_forData) {
            m_server.close(); // one data connection per passive reply
            connect(c, &ProxiedConnection::finished, this, &QObject::deleteLater);
        }
    }
}

QByteArray LatencyProxy::rewritePassive(const QByteArray &lines)
{
    // Listings on the control connection are long: look at lines only when
    // a passive reply may be among them.
    if (!lines.contains("227") && !lines.contains("229"))
        return lines;
    QByteArray out;
    for (const QByteArray &line : lines.split('\n'))
        out += rewriteLine(line) + '\n';
    out.chop(1);
    return out;
}

QByteArray LatencyProxy::rewriteLine(const QByteArray &line)
{
    static const QRegularExpression pasv(QStringLiteral("\\d+,\\d+,\\d+,\\d+,(\\d+),(\\d+)"));
    static const QRegularExpression epsv(QStringLiteral("\\(\\|\\|\\|(\\d+)\\|\\)"));
    const QString text = QString::fromLatin1(line);
    if (line.startsWith("227 ")) {
        const auto m = pasv.match(text);
        if (!m.hasMatch())
            return line;
        const quint16 p = passiveListener(quint16(m.captured(1).toInt() * 256 + m.captured(2).toInt()));
        return QString(text).replace(m.capturedStart(), m.capturedLength(),
                                     QStringLiteral("127,0,0,1,%1,%2").arg(p / 256).arg(p % 256)).toLatin1();
    }
    if (line.startsWith("229 ")) {
        const auto m = epsv.match(text);
        if (!m.hasMatch())
            return line;
        const quint16 p = passiveListener(quint16(m.captured(1).toInt()));
        return QString(text).replace(m.capturedStart(), m.capturedLength(), QStringLiteral("(|||%1|)").arg(p)).toLatin1();
    }
    return line;
}

quint16 LatencyProxy::passiveListener(quint16 serverPort)
{
    auto *data = new LatencyProxy(serverPort, m_oneWay, true, this);
    if (!data->listen()) {
        delete data;
        return serverPort; // unproxied rather than broken
    }
    return data->port();
}
