#pragma once
#include "ResultWriter.h"

#include <QString>

class Catalogue;
class IniFile;
struct CommandContext;

// harvex-cli recode and changes: the stored names decoded again with the
// host's code page, and what the host's last scan added, changed and removed.
class NameCommands
{
public:
    NameCommands(Catalogue &catalogue, IniFile &settings, ResultWriter::Format format)
        : m_catalogue(catalogue)
        , m_settings(settings)
        , m_format(format)
    {
    }

    // The command line's recode and changes; return the exit code.
    static int recodeCommand(const CommandContext &context);
    static int changesCommand(const CommandContext &context);

    // Throw CatalogueError.
    void recode(const QString &host);
    // run: 0 for the last scan's.
    void changes(const QString &host, qint64 run = 0);
    bool runKept(const QString &host, qint64 run);

private:
    Catalogue &m_catalogue;
    IniFile &m_settings;
    ResultWriter::Format m_format;
};
