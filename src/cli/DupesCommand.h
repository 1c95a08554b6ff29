#pragma once
#include "core/catalogue/DuplicateSearch.h"

struct CommandContext;

// harvex-cli dupes: files that share a name and a size (or a size alone),
// largest first, every copy with its path. A --format gives one table row
// per copy, numbered by group.
class DupesCommand
{
public:
    static QString usage();
    // The options checked, then run; returns the exit code.
    static int fromCommandLine(const CommandContext &context);

private:
    static bool readOptions(const CommandContext &c, DuplicateSearch::Options &options, qint64 &limit);
    static void run(const CommandContext &c, const DuplicateSearch::Options &options, qint64 limit);
};
