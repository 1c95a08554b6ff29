#include "FtpLogon.h"

namespace {
constexpr quint16 ImplicitTlsPort = 990;

bool setPort(FtpLogon &l, const QString &text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        l.valid = false;
        l.error = QStringLiteral("\"%1\" is not a port number (1 to 65535)").arg(text);
        return false;
    }
    l.port = quint16(port);
    return true;
}

// Splits host and port; a bare IPv6 address has more than one colon and no port.
void splitHostPort(FtpLogon &l, const QString &t)
{
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close < 0) {
            l.valid = false;
            l.error = QStringLiteral("\"%1\" lacks the closing \"]\"").arg(t);
            return;
        }
        l.host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (rest.startsWith(u':'))
            setPort(l, rest.mid(1));
        else if (!rest.isEmpty()) {
            l.valid = false;
            l.error = QStringLiteral("Unexpected \"%1\" after the address").arg(rest);
        }
        return;
    }
    if (t.count(u':') == 1) {
        l.host = t.section(u':', 0, 0);
        setPort(l, t.section(u':', 1));
        return;
    }
    l.host = t;
}
} // namespace

FtpLogon FtpLogon::fromHostText(const QString &hostText)
{
    FtpLogon l;
    QString t = hostText.trimmed();
    bool implicit = false;
    if (t.startsWith(QStringLiteral("ftps://"), Qt::CaseInsensitive)) {
        implicit = true;
        l.port = ImplicitTlsPort;
        t = t.mid(7);
    } else if (t.startsWith(QStringLiteral("ftp://"), Qt::CaseInsensitive)) {
        t = t.mid(6);
    }
    if (t.endsWith(u'/'))
        t.chop(1);
    splitHostPort(l, t);
    if (l.valid && l.host.isEmpty()) {
        l.valid = false;
        l.error = QStringLiteral("No host given");
    }
    if (implicit || l.port == ImplicitTlsPort)
        l.tls = Tls::Implicit;
    return l;
}

QString FtpLogon::tlsName(Tls t)
{
    switch (t) {
    case Tls::Off:
        return QStringLiteral("off");
    case Tls::Try:
        return QStringLiteral("try");
    case Tls::Require:
        return QStringLiteral("require");
    case Tls::Implicit:
        return QStringLiteral("implicit");
    }
    return QStringLiteral("try");
}

FtpLogon::Tls FtpLogon::tlsFromName(const QString &name, Tls def)
{
    for (Tls t : {Tls::Off, Tls::Try, Tls::Require, Tls::Implicit})
        if (name.trimmed().compare(tlsName(t), Qt::CaseInsensitive) == 0)
            return t;
    return def;
}
