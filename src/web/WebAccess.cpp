#include "WebAccess.h"
#include "WebReply.h"

#include <QCryptographicHash>
#include <QUrlQuery>

namespace {
constexpr auto CookieName = "harvex_token";
}

WebAccess::WebAccess(QByteArray token)
    : m_token(std::move(token))
    , m_cookieValue(QCryptographicHash::hash(m_token, QCryptographicHash::Sha256).toHex())
{
}

// The time a comparison takes tells nothing of how much of the token was right.
bool WebAccess::sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

bool WebAccess::carriesToken(const WebRequest &request) const
{
    const QByteArray bearer = "Bearer ";
    if (request.authorization.startsWith(bearer)
        && sameBytes(request.authorization.mid(bearer.size()).trimmed(), m_token))
        return true;
    for (const QByteArray &part : request.cookie.split(';')) {
        const QByteArray pair = part.trimmed();
        if (pair.startsWith(QByteArray(CookieName) + '=')
            && sameBytes(pair.mid(qstrlen(CookieName) + 1), m_cookieValue))
            return true;
    }
    return false;
}

std::optional<WebAnswer> WebAccess::refusal(const WebRequest &request) const
{
    if (!needsToken() || carriesToken(request))
        return std::nullopt;
    // The login form and its style are for those who have no token yet.
    if (request.path == QLatin1String("/login") || request.path == QLatin1String("/style.css"))
        return std::nullopt;
    if (request.path.startsWith(QLatin1String("/api/"))) {
        WebAnswer r = WebReply::error(401, QStringLiteral("This server needs its token"));
        r.setHeader("WWW-Authenticate", "Bearer");
        return r;
    }
    return WebReply::seeOther("/login");
}

WebAnswer WebAccess::login(const WebRequest &request) const
{
    const QUrlQuery form(QString::fromUtf8(request.body).replace(u'+', u' '));
    const QByteArray given = form.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8();
    if (!needsToken())
        return WebReply::seeOther("/");
    if (!sameBytes(given, m_token))
        return WebReply::resource(QStringLiteral("login.html"), 401);
    WebAnswer r = WebReply::seeOther("/");
    r.setHeader("Set-Cookie", QByteArray(CookieName) + '=' + m_cookieValue + "; Path=/; HttpOnly; SameSite=Strict");
    return r;
}
