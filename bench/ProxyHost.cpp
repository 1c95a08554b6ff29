#include "ProxyHost.h"
#include "LatencyProxy.h"

ProxyHost::ProxyHost()
{
    m_thread.start();
    m_anchor.moveToThread(&m_thread);
}

ProxyHost::~ProxyHost()
{
    QMetaObject::invokeMethod(&m_anchor, [this] {
        for (LatencyProxy *p : m_proxies)
            delete p;
    }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

quint16 ProxyHost::add(quint16 upstream, std::chrono::microseconds oneWay)
{
    quint16 port = 0;
    QMetaObject::invokeMethod(&m_anchor, [&] {
        auto *proxy = new LatencyProxy(upstream, oneWay);
        m_proxies.push_back(proxy);
        port = proxy->listen() ? proxy->port() : 0;
    }, Qt::BlockingQueuedConnection);
    return port;
}
