#pragma once
#include "core/ftp/TrustPrompt.h"

// Asks the user, through the GUI seam, whether to trust a certificate the
// system does not vouch for. Safe to call from the scan's thread: the
// question is put on the GUI thread and the caller waits for the answer.
class GuiTrustPrompt : public TrustPrompt
{
public:
    bool trustCertificate(const QString &host, const QString &fingerprint, const QString &problem,
                          const QString &pinnedFingerprint) override;
    // With a pinned fingerprint the question says the certificate changed
    // and shows both.
    static QString question(const QString &host, const QString &fingerprint, const QString &problem,
                            const QString &pinnedFingerprint = QString());
};
