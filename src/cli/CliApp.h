#pragma once
#include "ResultWriter.h"
#include "core/catalogue/CatalogueQueries.h"

#include <QCommandLineParser>
#include <QStringList>
#include <memory>

class Catalogue;
class IniFile;

// harvex-cli: the desktop program's scan, find, SQL, tree and path on the
// same data folder, settings file and catalogue, for scripts and timers.
class CliApp
{
public:
    enum Exit { Ok = 0, Failed = 1, Unreachable = 2, Incomplete = 3, Interrupted = 130 };

    CliApp();
    ~CliApp();
    int run(const QStringList &arguments);
    static QString usage();
    // The usage of one command, for "COMMAND --help".
    static QString commandUsage(const QString &command);

private:
    bool parse(const QStringList &arguments);
    int usageError(const QString &why);
    bool openCatalogue();
    int scan();
    bool runOptions(const QString &hostText, struct ScanRun &run);
    void saveRunOptions(const QString &host, const struct ScanRun &run);
    int find();
    int sql();
    int tree();
    int path();
    int hosts();
    int copy();
    int runStatement(const CatalogueQueries::Statement &st);
    int names(const QString &command);
    void rememberHost(const QString &host);
    QString defaultHost();

    QCommandLineParser m_parser;
    QStringList m_args;
    ResultWriter::Format m_format = ResultWriter::Format::Tsv;
    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<Catalogue> m_catalogue;
};
