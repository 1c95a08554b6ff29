#pragma once
#include <QString>

#include <functional>

// Where a session's lines for the activity log go (TLS in use, the data
// connection mode, fallbacks); nowhere until a handler is set.
class FtpNotice
{
public:
    void setHandler(std::function<void(const QString &)> handler) { m_handler = std::move(handler); }
    void operator()(const QString &text) const
    {
        if (m_handler)
            m_handler(text);
    }

private:
    std::function<void(const QString &)> m_handler;
};
