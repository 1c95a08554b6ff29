#include "CliApp.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "CommandTable.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "IndexProgress.h"
#include "core/base/AppPaths.h"
#include "core/base/IniFile.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/CatalogueError.h"

CliApp::CliApp() = default;
CliApp::~CliApp() = default;

int CliApp::run(const QStringList &arguments)
{
    CommandLine line;
    if (!line.parse(arguments))
        return CommandLine::usageError(line.errorText());
    if (line.isSet("version")) {
        ConsoleLine::out(QStringLiteral("harvex-cli " HARVEX_VERSION));
        return ExitCode::Ok;
    }
    if (line.isSet("help")) {
        const QStringList &args = line.arguments();
        ConsoleLine::out(args.isEmpty() ? CommandLine::usage() : CommandLine::commandUsage(args.first()));
        return ExitCode::Ok;
    }
    return dispatch(line);
}

// Checked in this order, so that each mistake gets the message it always got.
int CliApp::dispatch(const CommandLine &line)
{
    const QStringList &all = line.arguments();
    const CommandTable::Entry *command = all.isEmpty() ? nullptr : CommandTable::find(all.first());
    if (!command)
        return CommandLine::usageError(all.isEmpty() ? QStringLiteral("no command given")
                                                     : QStringLiteral("unknown command \"%1\"").arg(all.first()));
    ResultWriter::Format format = ResultWriter::Format::Tsv;
    // Addresses are find's own: its results are the only rows that have one.
    const bool urls = all.first() == QLatin1String("find") && line.value("format") == QLatin1String("urls");
    if (!urls && !ResultWriter::parseFormat(line.value("format"), format))
        return CommandLine::usageError(QStringLiteral("unknown format \"%1\"").arg(line.value("format")));
    const QStringList args = all.mid(1);
    if (!command->takes(args.size()))
        return CommandLine::usageError(QStringLiteral("wrong number of arguments for \"%1\"").arg(all.first()));
    if (line.isSet("data"))
        AppPaths::setProgramDir(line.value("data"));
    m_settings = std::make_unique<IniFile>(AppPaths::settingsFile());
    // A command that opens its own connections gets the catalogue unopened.
    if (command->opensItsOwn)
        m_catalogue = std::make_unique<Catalogue>();
    else if (!openCatalogue(line))
        return ExitCode::Failed;
    return command->run(CommandContext{line, args, format, *m_settings, *m_catalogue});
}

QString CliApp::catalogueWhere(const CommandLine &line, const IniFile &settings)
{
    return line.isSet("db") ? line.value("db") : CatalogueAddress::chosen(settings, AppPaths::catalogueDir());
}

bool CliApp::openCatalogue(const CommandLine &line)
{
    m_catalogue = std::make_unique<Catalogue>();
    try {
        IndexProgress progress;
        m_catalogue->open(catalogueWhere(line, *m_settings), std::ref(progress));
    } catch (const CatalogueError &e) {
        ConsoleLine::err(e.message());
        return false;
    }
    return true;
}
