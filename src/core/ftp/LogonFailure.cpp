#include "LogonFailure.h"

QString LogonFailure::reason(FtpSession::Refusal refusal, bool timedOut, const QString &error)
{
    switch (refusal) {
    case FtpSession::Refusal::ConnectionRefused:
        return QStringLiteral("connection refused");
    case FtpSession::Refusal::LogonRefused:
        return QStringLiteral("log-on refused");
    case FtpSession::Refusal::Busy:
        return QStringLiteral("the server is busy");
    case FtpSession::Refusal::None:
    case FtpSession::Refusal::Other:
        break;
    }
    if (timedOut)
        return QStringLiteral("timed out");
    // The TLS layer's own texts name the handshake, the certificate or the
    // missing TLS; they are kept whole, since the fingerprint is the point.
    if (error.contains(QLatin1String("TLS")) || error.contains(QLatin1String("certificate")))
        return error.startsWith(QLatin1String("TLS")) ? error : QStringLiteral("TLS: ") + error;
    return error.isEmpty() ? QStringLiteral("no reason given") : error;
}
