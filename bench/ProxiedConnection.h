#pragma once
#include "DelayLine.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <functional>
#include <memory>

// A client's connection and the proxy's own to the server, with a delay line
// each way. The server is reached a handshake later (one and a half round
// trips), as over a network; what the client sends meanwhile waits.
class ProxiedConnection : public QObject
{
    Q_OBJECT
public:
    // Rewrites whole lines from the server before they are delayed (passive
    // replies); empty for data connections.
    using Rewrite = std::function<QByteArray(const QByteArray &lines)>;

    ProxiedConnection(QTcpSocket *client, quint16 upstreamPort, std::chrono::microseconds delay,
                      Rewrite rewrite, QObject *parent = nullptr);
    ~ProxiedConnection() override;

signals:
    void finished();

private:
    void connectUpstream();
    void fromClient();
    void fromServer();
    void closeIfDone();

    std::unique_ptr<QTcpSocket> m_client;
    QTcpSocket m_server;
    quint16 m_port;
    Rewrite m_rewrite;
    QByteArray m_held;        // client bytes sent before the server was reached
    QByteArray m_partialLine; // server bytes after the last line break, when rewriting
    DelayLine m_toServer;
    DelayLine m_toClient;
    bool m_endHeld = false;   // the client left before the server was reached
    int m_ends = 0;
};
