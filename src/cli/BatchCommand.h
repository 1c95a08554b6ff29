#pragma once
#include "CommandContext.h"
#include "core/scan/BatchHost.h"
#include "core/scan/ScanSetup.h"

#include <optional>

// Several hosts scanned into the catalogue at once: harvex-cli scan with
// more than one address or --hosts-file, and the hosts rescan picks. Each
// host's lines go to standard error behind its name; a table of how each
// went goes to standard output at the end. The exit code is the worst host's.
class BatchCommand
{
public:
    explicit BatchCommand(const CommandContext &context) : m_c(context) {}
    // The command line's addresses and those of --hosts-file.
    int scanAddresses();
    // Nothing scanned, with the reason said, when an address or a flag is bad.
    std::optional<QList<BatchHost>> hostsFor(const QStringList &addresses, ScanSetup::Overrides &flags) const;
    // admit: see HostBatch::setAdmit.
    int scan(QList<BatchHost> &hosts, const ScanSetup::Overrides &flags,
             std::function<bool(const BatchHost &)> admit = {});
    // The worse of two exit codes: cancelled, then bad arguments, then not
    // reached, then incomplete.
    static int worse(int a, int b);
    static QString resultText(const BatchHost &host);
    static int exitCode(const BatchHost &host, bool interrupted);

private:
    std::optional<QStringList> addresses() const;
    std::optional<int> parallelHosts() const;
    void summarise(const QList<BatchHost> &hosts, const QList<int> &codes) const;

    const CommandContext &m_c;
};
