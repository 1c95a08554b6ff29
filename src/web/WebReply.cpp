#include "WebReply.h"

#include <QFile>
#include <QJsonDocument>

QByteArray WebReply::contentSecurityPolicy()
{
    return "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; "
           "form-action 'self'; frame-ancestors 'none'; base-uri 'none'";
}

void WebReply::addSecurityHeaders(WebAnswer &response)
{
    response.setHeader("Content-Security-Policy", contentSecurityPolicy());
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("X-Frame-Options", "DENY");
    // Catalogues change under a scan; a search is asked again, not kept.
    response.setHeader("Cache-Control", "no-store");
}

WebAnswer WebReply::json(const QJsonObject &body, int status)
{
    WebAnswer r{status, "application/json; charset=utf-8", QJsonDocument(body).toJson(QJsonDocument::Compact), {}};
    addSecurityHeaders(r);
    return r;
}

WebAnswer WebReply::error(int status, const QString &message)
{
    return json(QJsonObject{{"error", message}}, status);
}

WebAnswer WebReply::resource(const QString &name, int status)
{
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return error(404, QStringLiteral("No such page"));
    const QByteArray type = name.endsWith(QLatin1String(".js"))    ? "text/javascript; charset=utf-8"
        : name.endsWith(QLatin1String(".css"))                     ? "text/css; charset=utf-8"
                                                                   : "text/html; charset=utf-8";
    WebAnswer r{status, type, file.readAll(), {}};
    addSecurityHeaders(r);
    return r;
}

WebAnswer WebReply::seeOther(const QByteArray &location)
{
    WebAnswer r{303, QByteArray(), QByteArray(), {}};
    r.setHeader("Location", location);
    addSecurityHeaders(r);
    return r;
}
