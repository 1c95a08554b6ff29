#pragma once
#include "HostsApi.h"
#include "WebAccess.h"
#include "WebAnswer.h"
#include "WebRequest.h"
#include "core/catalogue/FolderPaths.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QThreadPool>

// The search page and its JSON API over one catalogue, read-only: the
// listening thread copies each request and hands it to a pool of threads,
// each with its own read connection, and writes their answers back while
// the client is still connected. One line per request goes to standard error.
class WebServer : public QAbstractHttpServer
{
    Q_OBJECT
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
    ~WebServer() override;

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    // A worker thread's answer to one request, logged.
    WebAnswer answer(const WebRequest &request);
    WebAnswer route(const WebRequest &request);
    WebAnswer api(const WebRequest &request);
    WebAnswer failed(const WebRequest &request, const QString &why) const;
    static WebAnswer page(const WebRequest &request);
    static void logLine(const WebRequest &request, int status);

    Settings m_settings;
    WebAccess m_access;
    HostsApi m_hosts;
    QThreadPool m_pool;
};
