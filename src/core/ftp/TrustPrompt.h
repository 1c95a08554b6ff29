#pragma once
#include <QString>

// Asked when a server's certificate fails the system's checks and is not
// pinned for the host: true trusts it for this host from now on (in place of
// pinnedFingerprint, the one pinned before, empty when none). The
// desktop program asks the user; harvex-cli never asks (it takes --trust).
// Called on the thread that runs the session, which waits for the answer.
class TrustPrompt
{
public:
    virtual ~TrustPrompt() = default;
    virtual bool trustCertificate(const QString &host, const QString &fingerprint, const QString &problem,
                                  const QString &pinnedFingerprint) = 0;
};
