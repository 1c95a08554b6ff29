#pragma once
#include "WebAnswer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Every response the server sends, with the headers every one carries: a
// Content-Security-Policy that lets the page run only its own script and
// style, nosniff so that no answer is read as another type, no referrer
// and no framing. Errors are JSON, {"error": "..."}, with a message for
// people: never a statement or a trace.
class WebReply
{
public:
    static WebAnswer json(const QJsonObject &body, int status = 200);
    static WebAnswer error(int status, const QString &message);
    // A file of the page, from the program's resources.
    static WebAnswer resource(const QString &name, int status = 200);
    // 303 to a page of the server's own.
    static WebAnswer seeOther(const QByteArray &location);
    static void addSecurityHeaders(WebAnswer &answer);
    static QByteArray contentSecurityPolicy();
};
