#include "WebAnswer.h"

namespace {
QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}
} // namespace

void WebAnswer::setHeader(const QByteArray &name, const QByteArray &value)
{
    for (auto &[key, old] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            old = value;
            return;
        }
    headers.append({name, value});
}

QByteArray WebAnswer::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

QByteArray WebAnswer::bytes() const
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    for (const auto &[key, value] : headers)
        out += key + ": " + value + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return out;
}
