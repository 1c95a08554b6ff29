#include "WebServer.h"
#include "AnswerQueue.h"
#include "ApiParams.h"
#include "BadRequest.h"
#include "DupesApi.h"
#include "SearchApi.h"
#include "ThreadConnection.h"
#include "WebReply.h"
#include "core/catalogue/CatalogueError.h"

#include <QHttpServerRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QtConcurrent>
#include <cstdio>

namespace {
QByteArray header(const QHttpServerRequest &r, const QByteArray &name)
{
    for (const auto &[key, value] : r.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

WebRequest copied(const QHttpServerRequest &r)
{
    WebRequest w;
    w.received.start();
    w.method = QByteArray(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(r.method()))).toUpper();
    w.url = r.url();
    w.path = r.url().path();
    w.query = r.query();
    w.authorization = header(r, "Authorization");
    w.cookie = header(r, "Cookie");
    w.contentType = header(r, "Content-Type");
    w.body = r.body();
    return w;
}
} // namespace

WebServer::WebServer(Settings settings)
    : m_settings(std::move(settings))
    , m_access(m_settings.token)
{
    m_pool.setMaxThreadCount(m_settings.threads > 0 ? m_settings.threads : qMax(4, QThread::idealThreadCount() * 2));
    // Threads stay, and with them their connections.
    m_pool.setExpiryTimeout(-1);
}

// The pool's threads end, closing their connections, before the server goes.
WebServer::~WebServer()
{
    m_pool.waitForDone();
}

// The socket, and its queue with it, goes when its client disconnects,
// which may be before the answer is ready: the guard then holds nothing
// and the answer is dropped.
bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    auto w = std::make_shared<WebRequest>(copied(request));
    AnswerQueue *queue = AnswerQueue::of(socket);
    const qint64 place = queue->reserve();
    QPointer<AnswerQueue> to(queue);
    QtConcurrent::run(&m_pool, [this, w] { return answer(*w); }).then(this, [to, place](const WebAnswer &a) {
        if (to)
            to->fill(place, a.bytes());
    });
    return true;
}

// Never reached: every request is handled above.
void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const WebAnswer a = WebReply::error(404, QStringLiteral("No such page"));
    logLine(copied(request), a.status);
    socket->write(a.bytes());
}

WebAnswer WebServer::answer(const WebRequest &request)
{
    const WebAnswer reply = route(request);
    logLine(request, reply.status);
    return reply;
}

WebAnswer WebServer::route(const WebRequest &request)
{
    if (std::optional<WebAnswer> refused = m_access.refusal(request))
        return std::move(*refused);
    if (request.path == QLatin1String("/login") && request.method == "POST")
        return m_access.login(request);
    if (request.method != "GET")
        return WebReply::error(405, QStringLiteral("This server only reads: use GET"));
    if (request.path.startsWith(QLatin1String("/api/")))
        return api(request);
    return page(request);
}

// Only the page's own files: no path names any other resource.
WebAnswer WebServer::page(const WebRequest &request)
{
    if (request.path == QLatin1String("/"))
        return WebReply::resource(QStringLiteral("index.html"));
    if (request.path == QLatin1String("/login"))
        return WebReply::resource(QStringLiteral("login.html"));
    if (request.path == QLatin1String("/app.js") || request.path == QLatin1String("/style.css"))
        return WebReply::resource(request.path.mid(1));
    return WebReply::error(404, QStringLiteral("No such page"));
}

// What failed in the catalogue stays in the server's log: the answer says
// only that it failed, never the statement or the driver's text.
WebAnswer WebServer::api(const WebRequest &request)
{
    try {
        ReadConnection &connection = ThreadConnection::get(m_settings.where, m_settings.timeoutMs);
        connection.startRequest();
        PathSearch &search = ThreadConnection::search(m_settings.where, m_settings.timeoutMs, m_settings.codePageOf);
        if (request.path == QLatin1String("/api/search"))
            return WebReply::json(SearchApi(search).search(request.query));
        if (request.path == QLatin1String("/api/folder"))
            return WebReply::json(SearchApi(search).folder(request.query));
        if (request.path == QLatin1String("/api/dupes"))
            return WebReply::json(DupesApi::answer(connection, m_settings.codePageOf, search, request.query));
        if (request.path != QLatin1String("/api/hosts"))
            return WebReply::error(404, QStringLiteral("No such page"));
        const ApiParams none(request.query, {}); // it takes no parameter
        return WebReply::json(m_hosts.answer(connection));
    } catch (const BadRequest &e) {
        return WebReply::error(e.status(), e.message());
    } catch (const CatalogueError &e) {
        return failed(request, e.message());
    }
}

WebAnswer WebServer::failed(const WebRequest &request, const QString &why) const
{
    std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("The catalogue failed on %1: %2").arg(request.path, why.simplified())));
    const bool late = why.contains(QLatin1String("interrupt"), Qt::CaseInsensitive)
        || why.contains(QLatin1String("timeout"), Qt::CaseInsensitive);
    if (late)
        return WebReply::error(503, QStringLiteral("The search took longer than %1 s: narrow it down")
                                        .arg(m_settings.timeoutMs / 1000.0));
    return WebReply::error(500, QStringLiteral("The catalogue could not answer"));
}

// The query as sent, percent-encoded: no control byte reaches the terminal.
// The token never travels in the address.
void WebServer::logLine(const WebRequest &request, int status)
{
    const QByteArray line = request.method + ' ' + request.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority) + ' '
        + QByteArray::number(status) + ' ' + QByteArray::number(request.received.nsecsElapsed() / 1e6, 'f', 1)
        + " ms\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}
