#pragma once
#include "FtpSession.h"

#include <QString>

// Why a connection or log-on failed, in a few words for the user: what
// follows "Host ... is not available: ".
class LogonFailure
{
public:
    // error: the session's own text of the failure.
    static QString reason(FtpSession::Refusal refusal, bool timedOut, const QString &error);
};
