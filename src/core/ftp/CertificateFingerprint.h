#pragma once
#include <QByteArray>
#include <QString>

class QSslCertificate;

// SHA-256 fingerprints of server certificates, as pinned per host and as
// `openssl x509 -fingerprint -sha256` prints them ("AB:01:...").
class CertificateFingerprint
{
public:
    static QByteArray sha256(const QSslCertificate &certificate);
    // Upper-case hex pairs joined by colons.
    static QString text(const QByteArray &sha256);
    // Hex with or without colons, any case, an optional "sha256 Fingerprint="
    // in front; empty when it is not 32 bytes of hex.
    static QByteArray parse(const QString &text);
};
