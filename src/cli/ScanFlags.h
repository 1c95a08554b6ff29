#pragma once
#include "core/scan/ScanSetup.h"

#include <optional>

class CommandLine;

// The scan command's flags as the run's overrides, checked before anything
// goes out: a bad one is a usage error, said on standard error.
class ScanFlags
{
public:
    // Nothing when the host text or a flag is bad.
    static std::optional<ScanSetup::Overrides> read(const CommandLine &line, const QString &hostText);

private:
    static bool readTls(const CommandLine &line, ScanSetup::Overrides &run);
    static bool readTrust(const CommandLine &line, ScanSetup::Overrides &run);
    static bool readConnections(const CommandLine &line, ScanSetup::Overrides &run);
    static bool readLimits(const CommandLine &line, ScanSetup::Overrides &run);
    // The usage error is out; the check fails.
    static bool rejected(const QString &why);
};
