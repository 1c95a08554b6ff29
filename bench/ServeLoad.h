#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QStringList>
#include <memory>
#include <vector>

// Clients that each ask one search after another of a server on the
// loopback, for a bounded time and a bounded number of requests, and keep
// every answer's latency. Each client has its own connection (its own
// network manager: one manager would share six).
class ServeLoad
{
public:
    struct Figures
    {
        qint64 requests = 0;
        qint64 errors = 0;
        double p50Ms = 0, p99Ms = 0, maxMs = 0;
        double seconds = 0;
    };

    ServeLoad(QString baseUrl, QStringList patterns)
        : m_baseUrl(std::move(baseUrl))
        , m_patterns(std::move(patterns))
    {
    }
    // Runs the clients until seconds have passed or maxRequests were sent.
    Figures run(int clients, double seconds, qint64 maxRequests);

private:
    void ask(int client);
    void answered(int client, qint64 startNs, bool ok);

    QString m_baseUrl;
    QStringList m_patterns;
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_clients;
    QElapsedTimer m_clock;
    qint64 m_deadlineNs = 0;
    qint64 m_maxRequests = 0;
    qint64 m_sent = 0;
    qint64 m_errors = 0;
    int m_busy = 0;
    QList<qint64> m_latenciesNs;
};
