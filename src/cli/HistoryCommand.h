#pragma once
#include "CommandContext.h"

struct ScanRun;
class ResultWriter;

// harvex-cli history HOST: the host's recorded scan runs, newest first; and
// harvex-cli hosts --long: each host with its last run and when it last
// answered.
class HistoryCommand
{
public:
    explicit HistoryCommand(const CommandContext &context) : m_c(context) {}
    int history();
    int hostsLong();

private:
    static QString timeText(const QDateTime &utc);
    static QString duration(const ScanRun &run);

    const CommandContext &m_c;
};
