#include "ScanCommand.h"
#include "BatchCommand.h"
#include "CommandLine.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "ScanFlags.h"
#include "StderrMessages.h"
#include "TerminalProgress.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "core/base/IniFile.h"
#include "core/base/NetrcFile.h"
#include "core/catalogue/HostHistory.h"
#include "core/ftp/FtpAddress.h"
#include "core/scan/FtpConnection.h"
#include "core/scan/HostSnapshot.h"
#include "core/scan/ScanSetup.h"

#include <QTextStream>

int ScanCommand::run()
{
    if (m_c.args.size() != 1 || m_c.line.isSet("hosts-file"))
        return BatchCommand(m_c).scanAddresses();
    const std::optional<ScanSetup::Overrides> flags = ScanFlags::read(m_c.line, m_c.args.first());
    if (!flags)
        return ExitCode::Failed;
    const FtpAddress address = FtpAddress::parse(m_c.args.first());
    std::optional<HostSnapshot> chosen = hostToScan(address);
    if (!chosen)
        return ExitCode::Failed;
    HostSnapshot host = *chosen;
    ScanSetup setup(m_c.settings, *flags);
    if (m_c.line.isSet("save"))
        keepRunOptions(setup, host.host);
    ActivityLog log;
    QObject::connect(&log, &ActivityLog::lineAdded, [](const QString &line) { ConsoleLine::err(line); });
    ElapsedCounter timeConnect;
    StderrMessages messages;
    TerminalProgress progress(log, host);
    FtpConnection connection(log, timeConnect, host, messages);
    HostScanner scanner(connection, m_c.catalogue, log, host, messages, progress);
    setup.applyTo(connection, scanner);
    scanner.setStartFolder(address.startPath);
    TerminalProgress::cancelOnSignals(scanner.cancelFlag());
    scanner.ScanHost();
    TerminalProgress::cancelOnSignals(nullptr);
    if (scanner.stats().loggedOn)
        rememberHost(host.host); // a host that could not be reached is not offered again
    return outcome(scanner.stats(), connection.lastError());
}

// The password never appears on the command line, where ps would show it:
// it comes on standard input, or, for scans nobody watches, from ~/.netrc.
std::optional<HostSnapshot> ScanCommand::hostToScan(const FtpAddress &address) const
{
    HostSnapshot host;
    host.host = address.hostText;
    host.user = m_c.line.isSet("user") ? m_c.line.value("user") : address.user;
    if (m_c.line.isSet("password-stdin")) {
        QTextStream in(stdin);
        host.password = in.readLine();
        return host;
    }
    QString error;
    const auto logon = NetrcFile::find(NetrcFile::defaultPath(), FtpLogon::fromHostText(host.host).host, host.user, error);
    if (!error.isEmpty()) {
        ConsoleLine::err(error);
        return std::nullopt;
    }
    if (logon) {
        host.user = logon->user;
        host.password = logon->password;
    }
    return host;
}

// --save: the run's connection options become the settings for the host.
void ScanCommand::keepRunOptions(ScanSetup &setup, const QString &hostText)
{
    if (!setup.keepForHost(FtpLogon::fromHostText(hostText).host))
        ConsoleLine::err(QStringLiteral("Cannot write the settings file %1").arg(setup.settingsPath()));
}

// The host joins the history the desktop program offers, most recent first.
void ScanCommand::rememberHost(const QString &host)
{
    HostHistory(m_c.settings).remember(host);
    if (!m_c.settings.save())
        ConsoleLine::err(QStringLiteral("Cannot write the settings file %1").arg(m_c.settings.path()));
}

int ScanCommand::outcome(const HostScanner::Stats &stats, const QString &lastError)
{
    const int code = exitCode(stats, lastError, TerminalProgress::interrupted());
    if (stats.listed == 0 && !lastError.isEmpty()) {
        ConsoleLine::err(lastError); // why the host was not available
        if (lastError.contains(QLatin1String("SHA-256 fingerprint")))
            ConsoleLine::err(QStringLiteral("To trust this certificate for the host, run again with --trust FINGERPRINT"));
        return code;
    }
    summarise(stats);
    if (code == ExitCode::Interrupted)
        ConsoleLine::err(QStringLiteral("Scan cancelled; what was found so far is stored"));
    return code;
}

int ScanCommand::exitCode(const HostScanner::Stats &stats, const QString &lastError, bool interrupted)
{
    if ((stats.listed == 0 && !lastError.isEmpty()) || stats.terminated || stats.catalogueFailed)
        return ExitCode::Unreachable;
    if (interrupted)
        return ExitCode::Interrupted;
    // Skipped lines are entries that may be missing, as from an unlisted folder.
    return stats.failed > 0 || stats.unreadLines > 0 || stats.entryLimitReached || stats.depthLimitReached
        ? ExitCode::Incomplete : ExitCode::Ok;
}

void ScanCommand::summarise(const HostScanner::Stats &stats)
{
    ConsoleLine::err(QStringLiteral("%1 entries in %2 folders; %3 folders could not be listed; "
                                    "%4 listing lines could not be read in %5 folders; %6 added, %7 changed, %8 removed")
                         .arg(stats.entries)
                         .arg(stats.listed)
                         .arg(stats.failed)
                         .arg(stats.unreadLines)
                         .arg(stats.unreadFolders)
                         .arg(stats.added)
                         .arg(stats.changed)
                         .arg(stats.removed));
}
