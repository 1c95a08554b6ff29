#pragma once
#include "CommandContext.h"

// harvex-cli path ID: the full path of one record, its size (a folder's
// holds what is below it) and its ftp:// address.
class PathCommand
{
public:
    explicit PathCommand(const CommandContext &context) : m_c(context) {}
    int run();

private:
    void write(qint32 id);

    const CommandContext &m_c;
};
