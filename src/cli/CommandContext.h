#pragma once
#include "ResultWriter.h"

#include <QStringList>

class Catalogue;
class CommandLine;
class IniFile;

// What every command runs with: the parsed line, its own arguments (the
// command's name taken off), the output format, the settings file and the
// open catalogue. All owned by CliApp, which outlives the command.
struct CommandContext
{
    const CommandLine &line;
    const QStringList &args;
    ResultWriter::Format format;
    IniFile &settings;
    Catalogue &catalogue;
};
