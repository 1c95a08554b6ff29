#include "WebReply.h"

#include <QFile>
#include <QJsonDocument>

QByteArray WebReply::contentSecurityPolicy()
{
    return "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; "
           "form-action 'self'; frame-ancestors 'none'; base-uri 'none'";
}

void WebReply::addSecurityHeaders(QHttpServerResponse &response)
{
    response.setHeader("Content-Security-Policy", contentSecurityPolicy());
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("X-Frame-Options", "DENY");
    // Catalogues change under a scan; a search is asked again, not kept.
    response.setHeader("Cache-Control", "no-store");
}

QHttpServerResponse WebReply::json(const QJsonObject &body, Status status)
{
    QHttpServerResponse r("application/json; charset=utf-8", QJsonDocument(body).toJson(QJsonDocument::Compact),
                          status);
    addSecurityHeaders(r);
    return r;
}

QHttpServerResponse WebReply::error(Status status, const QString &message)
{
    return json(QJsonObject{{"error", message}}, status);
}

QHttpServerResponse WebReply::resource(const QString &name, Status status)
{
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return error(Status::NotFound, QStringLiteral("No such page"));
    const QByteArray type = name.endsWith(QLatin1String(".js"))    ? "text/javascript; charset=utf-8"
        : name.endsWith(QLatin1String(".css"))                     ? "text/css; charset=utf-8"
                                                                   : "text/html; charset=utf-8";
    QHttpServerResponse r(type, file.readAll(), status);
    addSecurityHeaders(r);
    return r;
}

QHttpServerResponse WebReply::seeOther(const QByteArray &location)
{
    QHttpServerResponse r(QByteArray(), QByteArray(), Status::SeeOther);
    r.setHeader("Location", location);
    addSecurityHeaders(r);
    return r;
}
