#pragma once
#include "ResultWriter.h"
#include "core/catalogue/SearchOrder.h"
#include "core/catalogue/SearchTerms.h"

#include <QElapsedTimer>
#include <QString>
#include <optional>

class Catalogue;
class IniFile;
struct CommandContext;

// harvex-cli find: full paths, one a line, as people search for files;
// --long adds size, date and type; a --format keeps every field of the
// table and adds the path and the date.
class FindCommand
{
public:
    struct Options
    {
        SearchTerms terms;
        QString under; // "host/a/b": only below that folder
        SearchOrder order; // with its start when --after gave one
        bool countOnly = false;
        qint64 limit = 0; // 0: every row
        bool longList = false;
        bool urls = false; // one ftp:// address a line
        std::optional<ResultWriter::Format> format;
    };

    FindCommand(Catalogue &catalogue, IniFile &settings)
        : m_catalogue(catalogue)
        , m_settings(settings)
    {
    }

    static QString usage();
    // The command line's find: its options checked, then run; returns the exit code.
    static int fromCommandLine(const CommandContext &context);
    // Throws CatalogueError.
    void run(const Options &options);
    // "2026-12-09T01:08:30Z" from the stored LAC; empty when none was listed.
    static QString isoDate(double lac);

private:
    // The options' terms checked: a usage error said, and false, for a bad one.
    static bool readTerms(const CommandContext &c, SearchTerms &terms);
    static bool readSaved(const CommandContext &c, Options &options);
    static bool readBounds(const CommandContext &c, SearchTerms &terms);
    static bool readOrder(const CommandContext &c, SearchOrder &order);
    void rowWritten();

    Catalogue &m_catalogue;
    IniFile &m_settings;
    QElapsedTimer m_sinceFlush;
    QElapsedTimer m_sinceRow;
};
