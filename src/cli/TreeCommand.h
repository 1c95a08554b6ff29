#pragma once
#include "CommandContext.h"

// harvex-cli tree [HOST]: the host's folders, indented by depth; without a
// host, the one scanned last.
class TreeCommand
{
public:
    explicit TreeCommand(const CommandContext &context) : m_c(context) {}
    int run();

private:
    QString host() const;

    const CommandContext &m_c;
};
