#include "CommandTable.h"
#include "CommandContext.h"
#include "CopyCommand.h"
#include "DupesCommand.h"
#include "FindCommand.h"
#include "HistoryCommand.h"
#include "HostsCommand.h"
#include "NameCommands.h"
#include "PathCommand.h"
#include "RescanCommand.h"
#include "ScanCommand.h"
#include "ServeCommand.h"
#include "SqlCommand.h"
#include "TreeCommand.h"

namespace {
const CommandTable::Entry Commands[] = {
    {"scan", 0, 100000, [](const CommandContext &c) { return ScanCommand(c).run(); }},
    {"find", 0, 1, &FindCommand::fromCommandLine},
    {"dupes", 0, 0, &DupesCommand::fromCommandLine},
    {"sql", 1, 1, [](const CommandContext &c) { return SqlCommand(c).run(); }},
    {"tree", 0, 1, [](const CommandContext &c) { return TreeCommand(c).run(); }},
    {"path", 1, 1, [](const CommandContext &c) { return PathCommand(c).run(); }},
    {"hosts", 0, 0, [](const CommandContext &c) { return HostsCommand(c).run(); }},
    {"rescan", 0, 0, [](const CommandContext &c) { return RescanCommand(c).run(); }},
    {"history", 1, 1, [](const CommandContext &c) { return HistoryCommand(c).history(); }},
    {"recode", 1, 1, &NameCommands::recodeCommand},
    {"changes", 1, 1, &NameCommands::changesCommand},
    {"copy", 0, 0, &CopyCommand::fromCommandLine},
    {"serve", 0, 0, &ServeCommand::fromCommandLine, true},
};
} // namespace

const CommandTable::Entry *CommandTable::find(const QString &name)
{
    for (const Entry &e : Commands) {
        if (name == QLatin1String(e.name))
            return &e;
    }
    return nullptr;
}
