#pragma once
#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <chrono>

// An FTP proxy on 127.0.0.1 that delays every byte by half a round trip in
// each direction, so a loopback benchmark pays what a network costs. Passive
// replies (227, 229) are rewritten to a listener of the proxy, which passes
// the one data connection on with the same delay. Active mode is not
// proxied: the benchmark's clients use passive mode.
class LatencyProxy : public QObject
{
    Q_OBJECT
public:
    // upstreamPort: the server's. forData: a passive listener, which takes
    // one connection and rewrites nothing.
    LatencyProxy(quint16 upstreamPort, std::chrono::microseconds oneWay, bool forData = false,
                 QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }

private:
    void accept();
    QByteArray rewritePassive(const QByteArray &lines);
    QByteArray rewriteLine(const QByteArray &line);
    quint16 passiveListener(quint16 serverPort);

    QTcpServer m_server;
    quint16 m_upstream;
    std::chrono::microseconds m_oneWay;
    bool m_forData;
    int m_connections = 0;
};
