#include "RunResult.h"

// A cancel wins: a log-on given up by the user is no fault of the host. A
// busy server (421) refused this time, as one that refuses the connection.
ScanRun::Result RunResult::of(const ScanStats &stats, bool connected, FtpSession::Refusal refusal, const QString &reason)
{
    using R = ScanRun::Result;
    if (stats.cancelled)
        return R::Cancelled;
    if (!connected) {
        switch (refusal) {
        case FtpSession::Refusal::LogonRefused:
            return R::LogonRefused;
        case FtpSession::Refusal::ConnectionRefused:
        case FtpSession::Refusal::Busy:
            return R::Refused;
        case FtpSession::Refusal::None:
        case FtpSession::Refusal::Other:
            break;
        }
        return reason.startsWith(QLatin1String("TLS")) ? R::TlsRefused : R::Unreachable;
    }
    return stats.terminated ? R::LostConnection : R::Complete;
}
