#pragma once
#include "HostsApi.h"
#include "WebAccess.h"
#include "WebRequest.h"
#include "core/catalogue/FolderPaths.h"

#include <QFuture>
#include <QHostAddress>
#include <QHttpServer>
#include <QThreadPool>

// The search page and its JSON API over one catalogue, read-only: the
// listening thread copies each request and hands it to a pool of threads,
// each with its own read connection, and writes their answers back. One
// line per request goes to standard error.
class WebServer
{
public:
    struct Settings
    {
        QString where; // the data folder or a PostgreSQL address
        QByteArray token; // empty: every request passes
        int timeoutMs = 5000; // for each request's statements
        int threads = 0; // 0: twice the cores, at least four
        FolderPaths::CodePageOf codePageOf;
    };

    explicit WebServer(Settings settings);
    ~WebServer();

    // The port listened on (port 0 picks a free one); 0 when it cannot listen.
    quint16 listen(const QHostAddress &address, quint16 port);

private:
    QFuture<QHttpServerResponse> handle(const QHttpServerRequest &request);
    // A worker thread's answer to one request, logged.
    QHttpServerResponse answer(const WebRequest &request);
    QHttpServerResponse route(const WebRequest &request);
    QHttpServerResponse api(const WebRequest &request);
    QHttpServerResponse page(const WebRequest &request);
    static void logLine(const WebRequest &request, int status);

    Settings m_settings;
    WebAccess m_access;
    HostsApi m_hosts;
    QThreadPool m_pool;
    QHttpServer m_http;
};
