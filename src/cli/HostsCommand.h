#pragma once
#include "CommandContext.h"

// harvex-cli hosts: one row per host in the catalogue, with its counts.
class HostsCommand
{
public:
    explicit HostsCommand(const CommandContext &context) : m_c(context) {}
    int run();

private:
    const CommandContext &m_c;
};
