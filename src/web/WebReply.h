#pragma once
#include <QByteArray>
#include <QHttpServerResponse>
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
    using Status = QHttpServerResponse::StatusCode;

    static QHttpServerResponse json(const QJsonObject &body, Status status = Status::Ok);
    static QHttpServerResponse error(Status status, const QString &message);
    // A file of the page, from the program's resources.
    static QHttpServerResponse resource(const QString &name, Status status = Status::Ok);
    // 303 to a page of the server's own.
    static QHttpServerResponse seeOther(const QByteArray &location);
    static void addSecurityHeaders(QHttpServerResponse &response);
    static QByteArray contentSecurityPolicy();
};
