#pragma once
#include <QString>

// A request the server will not answer as asked: a 400 with this message
// (or a 404 for something that is not there), for people to read.
class BadRequest
{
public:
    explicit BadRequest(QString message, int status = 400)
        : m_message(std::move(message))
        , m_status(status)
    {
    }
    const QString &message() const { return m_message; }
    int status() const { return m_status; }

private:
    QString m_message;
    int m_status;
};
