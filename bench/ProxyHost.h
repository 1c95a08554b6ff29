#pragma once
#include <QObject>
#include <QThread>
#include <chrono>
#include <vector>

class LatencyProxy;

// Several latency proxies on one thread of their own, which keeps their
// time while the benchmark's thread waits on harvex-cli.
class ProxyHost
{
public:
    ProxyHost();
    ~ProxyHost();
    ProxyHost(const ProxyHost &) = delete;
    ProxyHost &operator=(const ProxyHost &) = delete;

    // A proxy in front of upstream; its port, 0 when it cannot listen.
    quint16 add(quint16 upstream, std::chrono::microseconds oneWay);

private:
    QThread m_thread;
    QObject m_anchor;
    std::vector<LatencyProxy *> m_proxies; // made and deleted on m_thread
};
