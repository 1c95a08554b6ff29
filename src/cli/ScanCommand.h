#pragma once
#include "CommandContext.h"
#include "core/scan/HostScanner.h"

#include <optional>

struct FtpAddress;
class HostSnapshot;
class ScanSetup;

// harvex-cli scan: walks one host, or one folder of it, into the catalogue, telling progress and
// the log on standard error; Ctrl-C and SIGTERM end it keeping what it stored.
// The exit code says how complete the catalogue of the host now is.
class ScanCommand
{
public:
    explicit ScanCommand(const CommandContext &context) : m_c(context) {}
    int run();
    // Nothing, with the reason on standard error, when no log-on can be made up.
    std::optional<HostSnapshot> hostToScan(const FtpAddress &address) const;
    // How complete the catalogue of a scanned host now is.
    static int exitCode(const HostScanner::Stats &stats, const QString &lastError, bool interrupted);
    void rememberHost(const QString &host);

private:
    void keepRunOptions(ScanSetup &setup, const QString &hostText);
    static int outcome(const HostScanner::Stats &stats, const QString &lastError);
    static void summarise(const HostScanner::Stats &stats);

    const CommandContext &m_c;
};
