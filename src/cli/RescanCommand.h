#pragma once
#include "CommandContext.h"
#include "core/catalogue/RescanChoice.h"
#include "core/scan/BatchHost.h"
#include "core/scan/ScanSetup.h"

#include <optional>

// harvex-cli rescan: the hosts of the catalogue scanned again, those whose
// scan was cut short carried on; --older-than AGE takes only those whose
// last complete scan is older, --failed only those whose last run did not
// complete. Rescans of one shared catalogue share the due hosts.
class RescanCommand
{
public:
    explicit RescanCommand(const CommandContext &context) : m_c(context) {}
    int run();
    // "7d", "12h", "30m", "90s", "2w"; a number alone is days. Nothing when not an age.
    static std::optional<qint64> ageSeconds(const QString &text);

private:
    std::optional<QList<BatchHost>> hostsFor(const QList<RescanChoice::Due> &due, ScanSetup::Overrides &flags) const;

    const CommandContext &m_c;
};
