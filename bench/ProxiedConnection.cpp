#include "ProxiedConnection.h"

#include <QHostAddress>
#include <QTimer>

ProxiedConnection::ProxiedConnection(QTcpSocket *client, quint16 upstreamPort, std::chrono::microseconds delay,
                                     Rewrite rewrite, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_port(upstreamPort)
    , m_rewrite(std::move(rewrite))
    , m_toServer(m_server, delay)
    , m_toClient(*client, delay)
{
    m_client->setParent(nullptr);
    m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_client.get(), &QTcpSocket::readyRead, this, &ProxiedConnection::fromClient);
    connect(m_client.get(), &QTcpSocket::disconnected, this, [this] {
        fromClient();
        if (m_server.state() == QAbstractSocket::ConnectedState)
            m_toServer.pushEnd();
        else
            m_endHeld = true;
    });
    connect(&m_toServer, &DelayLine::ended, this, &ProxiedConnection::closeIfDone);
    connect(&m_toClient, &DelayLine::ended, this, &ProxiedConnection::closeIfDone);
    const auto handshake = std::chrono::duration_cast<std::chrono::milliseconds>(delay * 3);
    QTimer::singleShot(handshake, this, &ProxiedConnection::connectUpstream);
}

// A socket that goes says so (disconnected) while this object's other
// members are already gone: it must not tell this object any more.
ProxiedConnection::~ProxiedConnection()
{
    m_client->disconnect(this);
    m_server.disconnect(this);
}

void ProxiedConnection::connectUpstream()
{
    connect(&m_server, &QTcpSocket::connected, this, [this] {
        m_server.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_server.write(m_held);
        m_held.clear();
        if (m_endHeld)
            m_toServer.pushEnd();
    });
    connect(&m_server, &QTcpSocket::readyRead, this, &ProxiedConnection::fromServer);
    connect(&m_server, &QTcpSocket::disconnected, this, [this] {
        fromServer();
        m_toClient.push(m_partialLine);
        m_partialLine.clear();
        m_toClient.pushEnd();
    });
    connect(&m_server, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::ConnectionRefusedError)
            m_client->abort();
    });
    m_server.connectToHost(QHostAddress::LocalHost, m_port);
}

void ProxiedConnection::fromClient()
{
    if (m_client->bytesAvailable() == 0)
        return;
    const QByteArray bytes = m_client->readAll();
    if (m_server.state() == QAbstractSocket::ConnectedState)
        m_toServer.push(bytes);
    else
        m_held += bytes; // the handshake is still under way: sent on connecting
}

void ProxiedConnection::fromServer()
{
    if (m_server.bytesAvailable() == 0)
        return;
    QByteArray bytes = m_server.readAll();
    if (!m_rewrite) {
        m_toClient.push(bytes);
        return;
    }
    bytes.prepend(m_partialLine);
    const qsizetype end = bytes.lastIndexOf('\n') + 1;
    m_partialLine = bytes.mid(end);
    m_toClient.push(m_rewrite(bytes.left(end)));
}

// Both directions have passed their end on: nothing more can travel.
void ProxiedConnection::closeIfDone()
{
    if (++m_ends == 2)
        emit finished();
}
