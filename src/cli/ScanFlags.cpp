#include "ScanFlags.h"
#include "CommandLine.h"
#include "core/ftp/CertificateFingerprint.h"
#include "core/ftp/FtpAddress.h"

std::optional<ScanSetup::Overrides> ScanFlags::read(const CommandLine &line, const QString &hostText)
{
    const FtpAddress address = FtpAddress::parse(hostText);
    if (!address.valid) {
        rejected(address.error);
        return std::nullopt;
    }
    ScanSetup::Overrides run;
    if (line.isSet("passive"))
        run.passive = true;
    run.restart = line.isSet("restart");
    if (!readTls(line, run) || !readTrust(line, run) || !readConnections(line, run) || !readLimits(line, run))
        return std::nullopt;
    return run;
}

bool ScanFlags::readTls(const CommandLine &line, ScanSetup::Overrides &run)
{
    if (!line.isSet("tls"))
        return true;
    const QString mode = line.value("tls").toLower();
    if (mode != "require" && mode != "try" && mode != "off")
        return rejected(QStringLiteral("--tls takes require, try or off"));
    run.tls = FtpLogon::tlsFromName(mode, FtpLogon::Tls::Try);
    return true;
}

bool ScanFlags::readTrust(const CommandLine &line, ScanSetup::Overrides &run)
{
    if (!line.isSet("trust"))
        return true;
    run.trustSha256 = CertificateFingerprint::parse(line.value("trust"));
    if (run.trustSha256.isEmpty())
        return rejected(QStringLiteral("--trust takes a SHA-256 fingerprint: 64 hex digits, colons optional"));
    return true;
}

bool ScanFlags::readConnections(const CommandLine &line, ScanSetup::Overrides &run)
{
    if (!line.isSet("connections"))
        return true;
    bool ok = false;
    const int n = line.value("connections").toInt(&ok);
    if (!ok || n < 1 || n > HostScanner::MaxConnections)
        return rejected(QStringLiteral("--connections takes a number from 1 to %1").arg(HostScanner::MaxConnections));
    run.connections = n;
    return true;
}

// A depth past a million is no tree a server holds: a typo, refused as one.
bool ScanFlags::readLimits(const CommandLine &line, ScanSetup::Overrides &run)
{
    for (const char *name : {"max-entries", "max-depth"}) {
        if (!line.isSet(name))
            continue;
        bool ok = false;
        const qint64 n = line.value(name).toLongLong(&ok);
        const bool depth = name[4] == 'd';
        if (!ok || n <= 0 || (depth && n > 1000000))
            return rejected(QStringLiteral("--%1 takes a positive number").arg(QLatin1String(name)));
        if (depth)
            run.maxDepth = int(n);
        else
            run.maxEntries = n;
    }
    return true;
}

bool ScanFlags::rejected(const QString &why)
{
    CommandLine::usageError(why);
    return false;
}
