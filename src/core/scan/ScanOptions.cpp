#include "ScanOptions.h"
#include "ScanSetup.h"
#include "core/base/IniFile.h"
#include "core/ftp/CertificateFingerprint.h"

namespace {
const QString Ftp = QStringLiteral("FTP");
const QString Scan = QStringLiteral("SCAN");
const QString Tls = QStringLiteral("TLS");
const QString Trust = QStringLiteral("TRUST");
const QString Encoding = QStringLiteral("ENCODING");
constexpr int MsPerS = 1000;
} // namespace

ScanOptions::ScanOptions(IniFile &settings)
    : m_settings(settings)
{
}

QString ScanOptions::hostKey(const QString &hostText)
{
    return FtpLogon::fromHostText(hostText.trimmed()).host;
}

ScanOptions::Program ScanOptions::program() const
{
    ScanSetup setup(m_settings);
    const HostScanner::Limits limits = setup.limits();
    // Any host gives the program-wide values.
    const FtpLogon logon = setup.logonFor(QStringLiteral("localhost"));
    return {logon.passive, setup.connections(), limits.maxDepth, limits.maxEntries, logon.listingDeadlineMs / MsPerS};
}

void ScanOptions::setProgram(const Program &p)
{
    const Program now = program();
    if (p.passive != now.passive)
        m_settings.writeBool(Ftp, QStringLiteral("Passive"), p.passive);
    if (p.connections != now.connections)
        m_settings.writeInt(Ftp, QStringLiteral("Connections"), p.connections);
    if (p.listingDeadlineS != now.listingDeadlineS)
        m_settings.writeInt(Ftp, QStringLiteral("Listing Deadline"), p.listingDeadlineS);
    if (p.maxDepth != now.maxDepth)
        m_settings.writeInt(Scan, QStringLiteral("Max Depth"), p.maxDepth);
    if (p.maxEntries != now.maxEntries)
        m_settings.writeString(Scan, QStringLiteral("Max Entries"), QString::number(p.maxEntries));
}

ScanOptions::Host ScanOptions::host(const QString &hostText) const
{
    const FtpLogon logon = ScanSetup(m_settings).logonFor(hostKey(hostText));
    return {logon.tls, logon.pinnedSha256, logon.codePage};
}

void ScanOptions::setHost(const QString &hostText, const Host &h)
{
    const QString key = hostKey(hostText);
    if (key.isEmpty())
        return;
    const Host now = host(key);
    if (h.tls != now.tls)
        m_settings.writeString(Tls, key, FtpLogon::tlsName(h.tls));
    if (h.codePage != now.codePage)
        m_settings.writeString(Encoding, key, QString::fromLatin1(h.codePage));
}

void ScanOptions::forget(const QString &hostText)
{
    m_settings.remove(Trust, hostKey(hostText));
}

QList<ScanOptions::Pin> ScanOptions::pins() const
{
    QList<Pin> pins;
    for (const QString &key : m_settings.keys(Trust)) {
        const QByteArray sha = CertificateFingerprint::parse(m_settings.readString(Trust, key, QString()));
        if (!sha.isEmpty())
            pins.append({key, sha});
    }
    return pins;
}

QStringList ScanOptions::hosts(const QStringList &more) const
{
    QStringList hosts;
    const auto add = [&hosts](const QString &hostText) {
        const QString key = hostKey(hostText);
        if (!key.isEmpty() && !hosts.contains(key, Qt::CaseInsensitive))
            hosts << key;
    };
    for (const QString &hostText : more)
        add(hostText);
    for (const QString &section : {Tls, Trust, Encoding})
        for (const QString &key : m_settings.keys(section))
            add(key);
    return hosts;
}
