#include "WebServer.h"
#include "ApiParams.h"
#include "BadRequest.h"
#include "DupesApi.h"
#include "SearchApi.h"
#include "ThreadConnection.h"
#include "WebReply.h"
#include "core/catalogue/CatalogueError.h"

#include <QHttpServerRequest>
#include <QThread>
#include <QtConcurrent>
#include <cstdio>

namespace {
const QStringList Routes{"/", "/app.js", "/style.css", "/login", "/api/search", "/api/folder", "/api/hosts", "/api/dupes"};

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
    w.method = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(r.method()));
    w.method = w.method.toUpper();
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
    for (const QString &path : Routes)
        m_http.route(path, [this](const QHttpServerRequest &r) { return handle(r); });
    m_http.setMissingHandler([](const QHttpServerRequest &r, QHttpServerResponder &&responder) {
        const WebRequest w = copied(r);
        QHttpServerResponse reply = WebReply::error(WebReply::Status::NotFound, QStringLiteral("No such page"));
        logLine(w, int(reply.statusCode()));
        reply.write(std::move(responder));
    });
}

// The pool's threads end, closing their connections, before the server goes.
WebServer::~WebServer()
{
    m_pool.waitForDone();
}

quint16 WebServer::listen(const QHostAddress &address, quint16 port)
{
    return m_http.listen(address, port);
}

QFuture<QHttpServerResponse> WebServer::handle(const QHttpServerRequest &request)
{
    auto w = std::make_shared<WebRequest>(copied(request));
    return QtConcurrent::run(&m_pool, [this, w] { return answer(*w); });
}

QHttpServerResponse WebServer::answer(const WebRequest &request)
{
    QHttpServerResponse reply = route(request);
    logLine(request, int(reply.statusCode()));
    return reply;
}

QHttpServerResponse WebServer::route(const WebRequest &request)
{
    if (std::optional<QHttpServerResponse> refused = m_access.refusal(request))
        return std::move(*refused);
    if (request.path == QLatin1String("/login") && request.method == "POST")
        return m_access.login(request);
    if (request.method != "GET")
        return WebReply::error(WebReply::Status::MethodNotAllowed, QStringLiteral("This server only reads: use GET"));
    if (request.path.startsWith(QLatin1String("/api/")))
        return api(request);
    return page(request);
}

QHttpServerResponse WebServer::page(const WebRequest &request)
{
    if (request.path == QLatin1String("/"))
        return WebReply::resource(QStringLiteral("index.html"));
    if (request.path == QLatin1String("/login"))
        return WebReply::resource(QStringLiteral("login.html"));
    return WebReply::resource(request.path.mid(1));
}

// What failed in the catalogue stays in the server's log: the answer says
// only that it failed, never the statement or the driver's text.
QHttpServerResponse WebServer::api(const WebRequest &request)
{
    try {
        ReadConnection &connection = ThreadConnection::get(m_settings.where, m_settings.timeoutMs);
        connection.startRequest();
        const QSqlDatabase db = connection.database();
        PathSearch &search = ThreadConnection::search(m_settings.where, m_settings.timeoutMs, m_settings.codePageOf);
        if (request.path == QLatin1String("/api/search"))
            return WebReply::json(SearchApi(search).search(request.query));
        if (request.path == QLatin1String("/api/folder"))
            return WebReply::json(SearchApi(search).folder(request.query));
        if (request.path == QLatin1String("/api/dupes"))
            return WebReply::json(DupesApi::answer(db, m_settings.codePageOf, search, request.query));
        const ApiParams none(request.query, {}); // /api/hosts takes no parameter
        return WebReply::json(m_hosts.answer(db));
    } catch (const BadRequest &e) {
        return WebReply::error(WebReply::Status(e.status()), e.message());
    } catch (const CatalogueError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("The catalogue failed on %1: %2")
                                                    .arg(request.path, e.message().simplified())));
        const bool late = e.message().contains(QLatin1String("interrupt"), Qt::CaseInsensitive)
            || e.message().contains(QLatin1String("timeout"), Qt::CaseInsensitive);
        return late ? WebReply::error(WebReply::Status::ServiceUnavailable,
                                      QStringLiteral("The search took longer than %1 s: narrow it down")
                                          .arg(m_settings.timeoutMs / 1000.0))
                    : WebReply::error(WebReply::Status::InternalServerError,
                                      QStringLiteral("The catalogue could not answer"));
    }
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
