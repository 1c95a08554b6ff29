#include "ServeLoad.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkReply>
#include <QUrlQuery>
#include <algorithm>

ServeLoad::Figures ServeLoad::run(int clients, double seconds, qint64 maxRequests)
{
    m_maxRequests = maxRequests;
    m_clock.start();
    m_deadlineNs = qint64(seconds * 1e9);
    for (int i = 0; i < clients; ++i)
        m_clients.push_back(std::make_unique<QNetworkAccessManager>());
    for (int i = 0; i < clients; ++i)
        ask(i);
    QEventLoop loop;
    while (m_busy > 0)
        loop.processEvents(QEventLoop::WaitForMoreEvents, 100);
    Figures f;
    f.seconds = m_clock.nsecsElapsed() / 1e9;
    f.requests = m_latenciesNs.size();
    f.errors = m_errors;
    std::sort(m_latenciesNs.begin(), m_latenciesNs.end());
    const auto at = [&](double share) {
        return m_latenciesNs.isEmpty() ? 0.0 : m_latenciesNs[qMin(m_latenciesNs.size() - 1, qsizetype(share * m_latenciesNs.size()))] / 1e6;
    };
    f.p50Ms = at(0.50);
    f.p99Ms = at(0.99);
    f.maxMs = m_latenciesNs.isEmpty() ? 0.0 : m_latenciesNs.last() / 1e6;
    return f;
}

// A pattern search as the page asks it: one page of 50 by name.
void ServeLoad::ask(int client)
{
    if (m_clock.nsecsElapsed() >= m_deadlineNs || m_sent >= m_maxRequests)
        return;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("q"), QString::fromLatin1(QUrl::toPercentEncoding(m_patterns[int(m_sent % m_patterns.size())])));
    query.addQueryItem(QStringLiteral("limit"), QStringLiteral("50"));
    QNetworkRequest request(QUrl(m_baseUrl + QStringLiteral("/api/search?") + query.toString(QUrl::FullyEncoded)));
    request.setTransferTimeout(10000);
    ++m_sent;
    ++m_busy;
    const qint64 start = m_clock.nsecsElapsed();
    QNetworkReply *reply = m_clients[size_t(client)]->get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, client, start] {
        const bool ok = reply->error() == QNetworkReply::NoError
            && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 && reply->readAll().startsWith('{');
        reply->deleteLater();
        answered(client, start, ok);
    });
}

void ServeLoad::answered(int client, qint64 startNs, bool ok)
{
    --m_busy;
    m_latenciesNs << m_clock.nsecsElapsed() - startNs;
    m_errors += ok ? 0 : 1;
    ask(client);
}
