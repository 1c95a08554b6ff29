#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

// What an answer needs of a request, copied out of the server's own
// request object (which lives on the listening thread only) so that a
// worker thread can answer it.
struct WebRequest
{
    QByteArray method; // "GET", "POST", ...
    QUrl url;
    QString path;
    QUrlQuery query;
    QByteArray authorization;
    QByteArray cookie;
    QByteArray contentType;
    QByteArray body;
    QElapsedTimer received; // started as the request came in
};
