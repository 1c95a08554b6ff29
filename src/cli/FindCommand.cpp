#include "FindCommand.h"
#include "CatalogueGuard.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/LacTime.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/SavedSearches.h"
#include "core/catalogue/SearchStatement.h"
#include "core/catalogue/SearchTermText.h"
#include "ExitCode.h"
#include "core/scan/ScanSetup.h"

#include <cstdio>

namespace {
// The usage error is out; the options are not taken.
bool refused(const QString &why)
{
    CommandLine::usageError(why);
    return false;
}

void line(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QString sizeText(const QVariant &size)
{
    if (size.isNull())
        return QStringLiteral("-");
    // Catalogues made before keep Size as a double; new ones as an exact integer.
    if (size.typeId() == QMetaType::Double)
        return QString::number(size.toDouble(), 'f', 0);
    return QString::number(size.toLongLong());
}

// JSON gives null for no date; TSV and CSV an empty field.
QVariant dateValue(double lac)
{
    const QString date = FindCommand::isoDate(lac);
    return date.isEmpty() ? QVariant() : QVariant(date);
}

// Aligned columns for reading: size, date, type, path.
QString longLine(const PathSearch::Hit &hit)
{
    const QString date = FindCommand::isoDate(hit.lac);
    return QStringLiteral("%1  %2  %3  %4")
        .arg(sizeText(hit.row.size), 14)
        .arg(date.isEmpty() ? QStringLiteral("-") : date, -20)
        .arg(hit.row.ext, -5)
        .arg(hit.path);
}
} // namespace

QString FindCommand::usage()
{
    return QStringLiteral(
        "usage: harvex-cli find PATTERN [options]\n"
        "       harvex-cli find --saved NAME [options]: a search saved in the find dialog\n"
        "  PATTERN matches whole names as SQL LIKE does: % any run of characters, _ one\n"
        "  character; letters of every script match in either case\n"
        "  prints host/path/name for every match, one a line, as they are found\n"
        "  --regex             PATTERN is a regular expression found anywhere in the name,\n"
        "                      letters in either case\n"
        "  --type EXT[,EXT...] only these types (\"<DIR>\" folders, \"\" files without one)\n"
        "  --files, --folders  only files, only folders\n"
        "  --min-size SIZE, --max-size SIZE  sizes in bytes or with K, M, G, T (of 1024)\n"
        "  --newer WHEN, --older WHEN  listed after, before: a date (2024-01-31, UTC),\n"
        "                      a time (2024-01-31T12:00:00Z) or an age (90min, 12h, 30d, 2w)\n"
        "  --host HOST         only this host (a LIKE pattern when it holds % or _)\n"
        "  --under HOST/PATH   only below this folder, named as find prints it\n"
        "  --count             print only the number of matches\n"
        "  --long              size in bytes, date (UTC, ISO 8601) and type before each path\n"
        "  --limit N           stop after N matches\n"
        "  --sort KEY          in order of name, size, date, path (folder by folder) or host\n"
        "  --order asc|desc    smallest first (the default) or largest first\n"
        "  --after CURSOR      the page after the row whose Cursor --format json gave\n"
        "  --format tsv|csv|json  every stored field with Path and Date, a header first\n"
        "  --format urls       the ftp:// address of each match, names percent-encoded from\n"
        "                      their listed bytes, one a line (for wget -i)\n"
        "  --data DIR          data folder");
}

// The saved search's terms and folder; the options that shape the output
// still apply.
bool FindCommand::readSaved(const CommandContext &c, Options &options)
{
    if (!c.args.isEmpty())
        return refused(QStringLiteral("--saved takes the place of PATTERN"));
    const QString name = c.line.value("saved");
    const std::optional<SearchRequest> saved = SavedSearches(c.settings).saved(name);
    if (!saved)
        return refused(QStringLiteral("No search is saved as \"%1\"").arg(name));
    if (const QString why = saved->terms(options.terms); !why.isEmpty())
        return refused(QStringLiteral("The search saved as \"%1\": %2").arg(name, why));
    options.under = saved->under;
    return true;
}

bool FindCommand::readTerms(const CommandContext &c, SearchTerms &terms)
{
    if (c.args.isEmpty())
        return refused(QStringLiteral("find takes a PATTERN, or --saved NAME"));
    terms.pattern = c.args.first();
    terms.regex = c.line.isSet("regex");
    // "ALL" has always meant every type.
    if (c.line.isSet("type") && c.line.value("type") != QLatin1String("ALL"))
        terms.types = c.line.value("type").split(u',');
    terms.host = c.line.value("host");
    if (c.line.isSet("files") && c.line.isSet("folders"))
        return refused(QStringLiteral("--files and --folders exclude each other"));
    terms.kind = c.line.isSet("files") ? SearchTerms::Kind::Files
        : c.line.isSet("folders")      ? SearchTerms::Kind::Folders
                                       : SearchTerms::Kind::Any;
    if (!readBounds(c, terms))
        return false;
    if (const QString why = SearchStatement::problem(terms); !why.isEmpty())
        return refused(why);
    return true;
}

bool FindCommand::readBounds(const CommandContext &c, SearchTerms &terms)
{
    for (const auto &[option, bound] : {std::pair{"min-size", &terms.minSize}, std::pair{"max-size", &terms.maxSize}}) {
        if (!c.line.isSet(option))
            continue;
        *bound = SearchTermText::size(c.line.value(option));
        if (!*bound)
            return refused(QStringLiteral("--%1 takes a size such as 700M or 5G").arg(QLatin1String(option)));
    }
    for (const auto &[option, bound] : {std::pair{"newer", &terms.newer}, std::pair{"older", &terms.older}}) {
        if (!c.line.isSet(option))
            continue;
        *bound = SearchTermText::time(c.line.value(option));
        if (!bound->isValid())
            return refused(QStringLiteral("--%1 takes a date (2024-01-31) or an age (30d, 12h, 2w)").arg(QLatin1String(option)));
    }
    return true;
}

// A cursor names the order it was made in; --sort and --order, when given,
// must name the same.
bool FindCommand::readOrder(const CommandContext &c, SearchOrder &order)
{
    const std::optional<SearchOrder::Key> key = SearchOrder::keyNamed(c.line.value("sort"));
    if (c.line.isSet("sort") && !key)
        return refused(QStringLiteral("--sort takes name, size, date, path or host"));
    const QString way = c.line.value("order");
    if (c.line.isSet("order") && way != QLatin1String("asc") && way != QLatin1String("desc"))
        return refused(QStringLiteral("--order takes asc or desc"));
    if (c.line.isSet("order") && !key && !c.line.isSet("after"))
        return refused(QStringLiteral("--order needs --sort"));
    order = SearchOrder(key.value_or(SearchOrder::Key::Stored), way == QLatin1String("desc"));
    if (!c.line.isSet("after"))
        return true;
    const std::optional<SearchOrder> after = SearchOrder::fromCursor(c.line.value("after"));
    if (!after)
        return refused(QStringLiteral("--after takes a Cursor that find --format json printed"));
    if ((key && *key != after->key()) || (c.line.isSet("order") && order.descending() != after->descending()))
        return refused(QStringLiteral("The cursor belongs to another order than --sort and --order give"));
    order = *after;
    return true;
}

int FindCommand::fromCommandLine(const CommandContext &c)
{
    Options options;
    const bool terms = c.line.isSet("saved") ? readSaved(c, options) : readTerms(c, options.terms);
    if (!terms || !readOrder(c, options.order))
        return ExitCode::Failed;
    if (!c.line.isSet("saved"))
        options.under = c.line.value("under");
    options.countOnly = c.line.isSet("count");
    options.longList = c.line.isSet("long");
    options.urls = c.line.value("format") == QLatin1String("urls");
    if (c.line.isSet("format") && !options.urls)
        options.format = c.format;
    if (c.line.isSet("limit")) {
        bool ok = false;
        options.limit = c.line.value("limit").toLongLong(&ok);
        if (!ok || options.limit <= 0)
            return CommandLine::usageError(QStringLiteral("--limit takes a positive number"));
    }
    return CatalogueGuard::run([&] { FindCommand(c.catalogue, c.settings).run(options); });
}

QString FindCommand::isoDate(double lac)
{
    const QDateTime t = LacTime::toDateTime(lac);
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

// Standard output is a pipe more often than not: lines are written out
// while they come slowly, and at least ten times a second while they pour
// out, never one write per line of a long list.
void FindCommand::rowWritten()
{
    if (m_sinceRow.restart() > 20 || m_sinceFlush.elapsed() > 100) {
        std::fflush(stdout);
        m_sinceFlush.restart();
    }
}

void FindCommand::run(const Options &options)
{
    PathSearch search(m_catalogue.database(),
                      [this](const QString &host) { return ScanSetup::codePageFor(m_settings, host); });
    if (options.countOnly) {
        line(QString::number(search.count(options.terms, options.under)));
        std::fflush(stdout);
        return;
    }
    std::optional<ResultWriter> table;
    // Each row's Cursor starts the page after it.
    const bool cursors = options.order.sorts() && options.format == ResultWriter::Format::Json;
    if (options.format) {
        table.emplace(*options.format);
        table->header(PathSearch::fieldNames() + QStringList{"Path", "Date"}
                      + (cursors ? QStringList{"Cursor"} : QStringList()));
    }
    m_sinceFlush.start();
    m_sinceRow.start();
    qint64 unknown = 0;
    search.find(options.terms, options.under, options.order, options.limit, [&](const PathSearch::Hit &hit) {
        const CatalogueRecord &r = hit.row;
        QVariantList fields{r.name, r.ext, r.size, r.host, r.attr, hit.lac, r.id, r.pid, hit.path, dateValue(hit.lac)};
        if (cursors)
            fields << options.order.cursorAfter(r, hit.lac);
        if (table)
            table->row(fields);
        else if (options.urls)
            line(QString::fromLatin1(search.url(hit)));
        else
            line(options.longList ? longLine(hit) : hit.path);
        unknown += hit.pathKnown ? 0 : 1;
        rowWritten();
        return true;
    });
    if (table)
        table->finish();
    std::fflush(stdout);
    if (unknown > 0)
        std::fprintf(stderr, "%lld rows lie below folders missing from the catalogue: their paths show \"?\" there\n",
                     static_cast<long long>(unknown));
}
