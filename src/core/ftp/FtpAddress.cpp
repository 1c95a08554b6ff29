#include "FtpAddress.h"
#include "FtpLogon.h"
#include "ListingRequest.h"

#include <QByteArrayList>

FtpAddress FtpAddress::parse(const QString &text)
{
    FtpAddress a;
    QString rest = text.trimmed();
    QString scheme;
    for (const QLatin1String prefix : {QLatin1String("ftp://"), QLatin1String("ftps://")})
        if (rest.startsWith(prefix, Qt::CaseInsensitive)) {
            scheme = rest.left(prefix.size());
            rest = rest.mid(prefix.size());
        }
    // A user name may hold "@" itself (an e-mail address): the host follows the last.
    const qsizetype slash = rest.indexOf(u'/');
    QString authority = slash < 0 ? rest : rest.left(slash);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) {
        a.user = QString::fromUtf8(QByteArray::fromPercentEncoding(authority.left(at).toUtf8()));
        authority = authority.mid(at + 1);
    }
    a.hostText = scheme + authority;
    const FtpLogon logon = FtpLogon::fromHostText(a.hostText);
    if (!logon.valid) {
        a.valid = false;
        a.error = logon.error;
        return a;
    }
    if (slash >= 0)
        a.readFolder(rest.mid(slash));
    return a;
}

// Empty steps ("//", a trailing "/") are dropped, as a shell drops them;
// "." and ".." are refused rather than resolved, since the server decides
// what they name.
void FtpAddress::readFolder(const QString &path)
{
    QByteArrayList steps;
    for (const QString &step : path.split(u'/', Qt::SkipEmptyParts)) {
        const QByteArray name = QByteArray::fromPercentEncoding(step.toUtf8());
        if (!ListingRequest::enterableName(name)) {
            valid = false;
            error = QStringLiteral("\"%1\" cannot be a folder to start from").arg(step);
            return;
        }
        steps << name;
    }
    startPath = steps.join('/');
}
