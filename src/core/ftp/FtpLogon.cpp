#include "FtpLogon.h"

FtpLogon FtpLogon::fromHostText(const QString &hostText)
{
    FtpLogon l;
    const QString t = hostText.trimmed();
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        l.host = t.mid(1, close - 1);
        if (close >= 0 && t.mid(close + 1).startsWith(u':'))
            l.port = quint16(t.mid(close + 2).toUInt());
        return l;
    }
    // More than one colon: a bare IPv6 address, no port.
    if (t.count(u':') == 1) {
        bool ok = false;
        const uint port = t.section(u':', 1).toUInt(&ok);
        l.host = t.section(u':', 0, 0);
        if (ok && port > 0 && port < 65536)
            l.port = quint16(port);
        return l;
    }
    l.host = t;
    return l;
}
