#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>

// One HTTP response, made on a worker thread and written by the listening
// thread only while its connection is still there: a client that went away
// meanwhile leaves nothing to write to.
struct WebAnswer
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    void setHeader(const QByteArray &name, const QByteArray &value);
    QByteArray header(const QByteArray &name) const;
    // The response as sent: status line, headers, Content-Length, body.
    QByteArray bytes() const;
};
