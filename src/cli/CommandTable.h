#pragma once
#include <QString>

struct CommandContext;

// Every harvex-cli command by name: how many arguments it takes and what runs it.
class CommandTable
{
public:
    struct Entry
    {
        const char *name;
        int minArgs;
        int maxArgs;
        // Returns the exit code, having said on standard error what went wrong.
        int (*run)(const CommandContext &context);
        // True for a command that must not open the catalogue for writing
        // (serve): it is handed the catalogue unopened.
        bool opensItsOwn = false;

        bool takes(qsizetype count) const { return count >= minArgs && count <= maxArgs; }
    };

    // Null for a name no command has.
    static const Entry *find(const QString &name);
};
