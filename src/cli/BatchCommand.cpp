#include "BatchCommand.h"
#include "CliApp.h"
#include "CommandLine.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "HostsFile.h"
#include "ScanCommand.h"
#include "ScanFlags.h"
#include "TerminalProgress.h"
#include "core/ftp/FtpAddress.h"
#include "core/scan/HostBatch.h"

#include <algorithm>

std::optional<QStringList> BatchCommand::addresses() const
{
    QStringList all = m_c.args;
    if (m_c.line.isSet("hosts-file")) {
        QString error;
        const std::optional<QStringList> listed = HostsFile::read(m_c.line.value("hosts-file"), error);
        if (!listed) {
            ConsoleLine::err(error);
            return std::nullopt;
        }
        all << *listed;
    }
    if (all.isEmpty()) {
        CommandLine::usageError(QStringLiteral("scan needs a host, or --hosts-file FILE"));
        return std::nullopt;
    }
    return all;
}

std::optional<int> BatchCommand::parallelHosts() const
{
    if (!m_c.line.isSet("parallel-hosts"))
        return HostBatch::DefaultParallel;
    bool ok = false;
    const int n = m_c.line.value("parallel-hosts").toInt(&ok);
    if (!ok || n < 1 || n > HostBatch::MaxParallel) {
        CommandLine::usageError(QStringLiteral("--parallel-hosts takes a number from 1 to %1").arg(HostBatch::MaxParallel));
        return std::nullopt;
    }
    return n;
}

int BatchCommand::scanAddresses()
{
    const std::optional<QStringList> all = addresses();
    if (!all)
        return ExitCode::Failed;
    if (all->size() > 1 && m_c.line.isSet("password-stdin"))
        return CommandLine::usageError(QStringLiteral("--password-stdin is for one host; several take theirs from ~/.netrc"));
    ScanSetup::Overrides flags;
    std::optional<QList<BatchHost>> hosts = hostsFor(*all, flags);
    return hosts ? scan(*hosts, flags) : ExitCode::Failed;
}

std::optional<QList<BatchHost>> BatchCommand::hostsFor(const QStringList &addresses, ScanSetup::Overrides &flags) const
{
    const ScanCommand single(m_c);
    QList<BatchHost> hosts;
    for (const QString &text : addresses) {
        const std::optional<ScanSetup::Overrides> read = ScanFlags::read(m_c.line, text);
        if (!read)
            return std::nullopt;
        flags = *read;
        const FtpAddress address = FtpAddress::parse(text);
        const std::optional<HostSnapshot> logon = single.hostToScan(address);
        if (!logon)
            return std::nullopt;
        BatchHost host;
        host.logon = *logon;
        host.startPath = address.startPath;
        hosts << host;
    }
    return hosts;
}

int BatchCommand::scan(QList<BatchHost> &hosts, const ScanSetup::Overrides &flags,
                       std::function<bool(const BatchHost &)> admit)
{
    const std::optional<int> parallel = parallelHosts();
    if (!parallel)
        return ExitCode::Failed;
    BatchScan::Shared shared;
    shared.catalogue = CliApp::catalogueWhere(m_c.line, m_c.settings);
    shared.settings = &m_c.settings;
    shared.flags = flags;
    shared.line = [](const QString &host, const QString &line) { ConsoleLine::err(host + QStringLiteral(": ") + line.trimmed()); };
    HostBatch batch(shared);
    batch.setParallel(*parallel);
    batch.setAdmit(std::move(admit));
    std::atomic_bool cancel{false};
    TerminalProgress::cancelOnSignals(&cancel);
    batch.run(hosts, &cancel);
    TerminalProgress::cancelOnSignals(nullptr);
    QList<int> codes;
    int worst = ExitCode::Ok;
    ScanCommand single(m_c);
    for (const BatchHost &h : std::as_const(hosts)) {
        codes << exitCode(h, cancel.load());
        worst = worse(worst, codes.last());
        if (h.stats.loggedOn)
            single.rememberHost(h.logon.host); // a host that could not be reached is not offered again
    }
    summarise(hosts, codes);
    return worst;
}

int BatchCommand::exitCode(const BatchHost &host, bool interrupted)
{
    if (host.passed)
        return ExitCode::Ok;
    if (!host.scanned)
        return interrupted ? ExitCode::Interrupted : ExitCode::Unreachable;
    return ScanCommand::exitCode(host.stats, host.lastError, host.stats.cancelled);
}

int BatchCommand::worse(int a, int b)
{
    static const int order[] = {ExitCode::Ok, ExitCode::Incomplete, ExitCode::Unreachable, ExitCode::Failed,
                                ExitCode::Interrupted};
    const auto rank = [](int code) { return int(std::find(std::begin(order), std::end(order), code) - std::begin(order)); };
    return rank(a) >= rank(b) ? a : b;
}

QString BatchCommand::resultText(const BatchHost &host)
{
    if (host.passed)
        return QStringLiteral("left to another rescan");
    if (!host.scanned)
        return QStringLiteral("not scanned");
    const QString text = ScanRun::resultText(host.run.result);
    return host.run.run == 0 ? text + QStringLiteral(" (not recorded)") : text;
}

void BatchCommand::summarise(const QList<BatchHost> &hosts, const QList<int> &codes) const
{
    ResultWriter out(m_c.format);
    out.header({"Host", "Folder", "Result", "Entries", "Folders", "Added", "Changed", "Removed", "Seconds", "Exit"});
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        const BatchHost &h = hosts[i];
        out.row({h.logon.host, u'/' + QString::fromUtf8(h.startPath), resultText(h), h.stats.entries, h.stats.listed,
                 h.stats.added, h.stats.changed, h.stats.removed, QString::number(h.elapsedMs / 1000.0, 'f', 1),
                 codes[i]});
    }
}
