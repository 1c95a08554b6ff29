#pragma once
#include "WebAnswer.h"
#include "WebRequest.h"

#include <QByteArray>
#include <optional>

// Who may ask: everyone when no token is set; otherwise a request that
// carries it, as "Authorization: Bearer TOKEN", or the cookie the login
// form sets. The cookie holds the token's SHA-256, not the token.
class WebAccess
{
public:
    explicit WebAccess(QByteArray token = {});

    bool needsToken() const { return !m_token.isEmpty(); }
    // The answer for a request that may not pass (a 401, or the login page
    // for a person); nothing when it may.
    std::optional<WebAnswer> refusal(const WebRequest &request) const;
    // POST /login: the cookie and the way back to the page for the right
    // token, the form again for a wrong one.
    WebAnswer login(const WebRequest &request) const;

private:
    bool carriesToken(const WebRequest &request) const;
    static bool sameBytes(const QByteArray &a, const QByteArray &b);

    QByteArray m_token;
    QByteArray m_cookieValue;
};
