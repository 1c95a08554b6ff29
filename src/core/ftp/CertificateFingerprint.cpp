#include "CertificateFingerprint.h"

#include <QCryptographicHash>
#include <QSslCertificate>

namespace {
constexpr int Sha256Bytes = 32;
}

QByteArray CertificateFingerprint::sha256(const QSslCertificate &certificate)
{
    if (certificate.isNull())
        return QByteArray();
    return QCryptographicHash::hash(certificate.toDer(), QCryptographicHash::Sha256);
}

QString CertificateFingerprint::text(const QByteArray &sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

QByteArray CertificateFingerprint::parse(const QString &text)
{
    QString t = text.trimmed();
    const qsizetype eq = t.lastIndexOf(u'=');
    if (eq >= 0)
        t = t.mid(eq + 1);
    t.remove(u':');
    if (t.size() != Sha256Bytes * 2)
        return QByteArray();
    for (QChar c : t)
        if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
            return QByteArray();
    return QByteArray::fromHex(t.toLatin1());
}
