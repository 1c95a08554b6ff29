#pragma once
#include <QStringList>
#include <memory>

class Catalogue;
class CommandLine;
class IniFile;

// harvex-cli: the desktop program's scan, find, SQL, tree and path on the
// same data folder, settings file and catalogue, for scripts and timers.
// Reads the line, opens the settings and the catalogue, and hands over to
// the command (CommandTable).
class CliApp
{
public:
    CliApp();
    ~CliApp();
    // Returns the exit code (ExitCode).
    int run(const QStringList &arguments);
    // The catalogue the line names: --db, else [DB] Url, else the data folder.
    static QString catalogueWhere(const CommandLine &line, const IniFile &settings);

private:
    int dispatch(const CommandLine &line);
    bool openCatalogue(const CommandLine &line);

    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<Catalogue> m_catalogue;
};
