#pragma once
#include "ScanStats.h"
#include "core/catalogue/ScanRun.h"
#include "core/ftp/FtpSession.h"

// How a scan ended, as the catalogue's record of runs names it.
class RunResult
{
public:
    // reason: the session's few words on a failed log-on (LogonFailure).
    static ScanRun::Result of(const ScanStats &stats, bool connected, FtpSession::Refusal refusal, const QString &reason);
};
