#include "ScanSetup.h"
#include "FtpConnection.h"
#include "core/base/IniFile.h"
#include "core/ftp/CertificateFingerprint.h"

namespace {
const QString Ftp = QStringLiteral("FTP");
const QString Tls = QStringLiteral("TLS");
const QString Trust = QStringLiteral("TRUST");
// How each server listed, by host and port: see ListingChoice.
const QString Listing = QStringLiteral("LISTING");

QString listingKey(const FtpLogon &l)
{
    return QStringLiteral("%1:%2").arg(l.host).arg(l.port);
}
const QString Scan = QStringLiteral("SCAN");
} // namespace

ScanSetup::ScanSetup(IniFile &settings, const Overrides &run)
    : m_settings(settings)
    , m_run(run)
{
}

ScanSetup::ScanSetup(IniFile &settings)
    : ScanSetup(settings, Overrides())
{
}

// A Max Entries that is no positive number caps nothing, as 0 does.
HostScanner::Limits ScanSetup::limits() const
{
    const int depth = m_settings.readInt(Scan, QStringLiteral("Max Depth"), HostScanner::MaxDepth);
    const qint64 entries = m_settings.readString(Scan, QStringLiteral("Max Entries"), QString()).trimmed().toLongLong();
    return {m_run.maxDepth.value_or(depth), m_run.maxEntries > 0 ? m_run.maxEntries : qMax<qint64>(0, entries)};
}

// Out-of-range values are HostScanner's to bound, as they always were.
int ScanSetup::connections() const
{
    return m_run.connections.value_or(
        m_settings.readInt(Ftp, QStringLiteral("Connections"), HostScanner::DefaultConnections));
}

FtpLogon ScanSetup::logonFor(const QString &hostText) const
{
    FtpLogon l = FtpLogon::fromHostText(hostText);
    l.passive = m_run.passive.value_or(m_settings.readBool(Ftp, QStringLiteral("Passive"), false));
    l.codePage = codePageFor(m_settings, hostText);
    const int deadlineS = m_settings.readInt(Ftp, QStringLiteral("Listing Deadline"), 0);
    if (deadlineS > 0)
        l.listingDeadlineMs = deadlineS * 1000;
    // ftps:// and port 990 (or a setting of "implicit") speak TLS from the
    // first byte whatever the run asks.
    if (l.tls != FtpLogon::Tls::Implicit)
        l.tls = FtpLogon::tlsFromName(m_settings.readString(Tls, l.host, QString()), l.tls);
    if (m_run.tls && l.tls != FtpLogon::Tls::Implicit)
        l.tls = *m_run.tls;
    l.pinnedSha256 = m_run.trustSha256.isEmpty()
        ? CertificateFingerprint::parse(m_settings.readString(Trust, l.host, QString()))
        : m_run.trustSha256;
    l.listing = ListingChoice::fromText(m_settings.readString(Listing, listingKey(l), QString()));
    return l;
}

void ScanSetup::applyTo(FtpConnection &connection, HostScanner &scanner)
{
    connection.setSetup(this);
    scanner.setLimits(limits());
    scanner.setResume(!m_run.restart);
    scanner.setConnections(connections());
    scanner.setKeepRuns(keepRuns());
}

int ScanSetup::keepRuns() const
{
    return qMax(1, m_settings.readInt(Scan, QStringLiteral("Keep Runs"), HostScanner::DefaultKeepRuns));
}

bool ScanSetup::pin(const QString &host, const QByteArray &sha256)
{
    m_settings.writeString(Trust, host, CertificateFingerprint::text(sha256));
    return m_settings.save();
}

bool ScanSetup::rememberListing(const FtpLogon &logon, const ListingChoice &choice)
{
    if (logon.listing == choice)
        return true;
    m_settings.writeString(Listing, listingKey(logon), choice.text());
    return m_settings.save();
}

bool ScanSetup::keepForHost(const QString &host)
{
    if (m_run.passive)
        m_settings.writeBool(Ftp, QStringLiteral("Passive"), *m_run.passive);
    if (m_run.tls)
        m_settings.writeString(Tls, host, FtpLogon::tlsName(*m_run.tls));
    if (!m_run.trustSha256.isEmpty())
        m_settings.writeString(Trust, host, CertificateFingerprint::text(m_run.trustSha256));
    return m_settings.save();
}

QString ScanSetup::settingsPath() const
{
    return m_settings.path();
}

QByteArray ScanSetup::codePageFor(const IniFile &settings, const QString &hostText)
{
    const QString host = FtpLogon::fromHostText(hostText).host;
    return settings.readString(QStringLiteral("ENCODING"), host, QStringLiteral("latin1")).toLatin1();
}
