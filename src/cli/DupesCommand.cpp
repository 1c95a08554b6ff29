#include "DupesCommand.h"
#include "CatalogueGuard.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/SearchTermText.h"
#include "core/scan/ScanSetup.h"

#include <cstdio>

namespace {
void line(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

bool refused(const QString &why)
{
    CommandLine::usageError(why);
    return false;
}
} // namespace

QString DupesCommand::usage()
{
    return QStringLiteral(
        "usage: harvex-cli dupes [options]\n"
        "  files that share a name and a size across folders and hosts, largest first:\n"
        "  a line with the size and the number of copies, then each copy's path\n"
        "  --by name,size|size  what copies share (default name,size; names as listed)\n"
        "  --min-size SIZE      only files at least this large (default 1 byte; K, M, G, T of 1024)\n"
        "  --host HOST          only copies on this host\n"
        "  --limit N            stop after N groups\n"
        "  --format tsv|csv|json  a row per copy: Group, Size, Name, Host, ID, Path\n"
        "  --data DIR           data folder");
}

bool DupesCommand::readOptions(const CommandContext &c, DuplicateSearch::Options &options, qint64 &limit)
{
    const QString by = c.line.isSet("by") ? c.line.value("by") : QStringLiteral("name,size");
    if (by != QLatin1String("name,size") && by != QLatin1String("size"))
        return refused(QStringLiteral("--by takes name,size or size"));
    options.key = by == QLatin1String("size") ? DuplicateSearch::Key::Size : DuplicateSearch::Key::NameAndSize;
    if (c.line.isSet("min-size")) {
        const std::optional<qint64> size = SearchTermText::size(c.line.value("min-size"));
        if (!size)
            return refused(QStringLiteral("--min-size takes a size such as 700M or 5G"));
        options.minSize = *size;
    }
    options.host = c.line.value("host");
    limit = 0;
    if (c.line.isSet("limit")) {
        bool ok = false;
        limit = c.line.value("limit").toLongLong(&ok);
        if (!ok || limit <= 0)
            return refused(QStringLiteral("--limit takes a positive number"));
    }
    return true;
}

int DupesCommand::fromCommandLine(const CommandContext &c)
{
    DuplicateSearch::Options options;
    qint64 limit = 0;
    if (!readOptions(c, options, limit))
        return ExitCode::Failed;
    return CatalogueGuard::run([&] { run(c, options, limit); });
}

void DupesCommand::run(const CommandContext &c, const DuplicateSearch::Options &options, qint64 limit)
{
    DuplicateSearch search(c.catalogue.database(),
                           [&c](const QString &host) { return ScanSetup::codePageFor(c.settings, host); });
    std::optional<ResultWriter> table;
    if (c.line.isSet("format")) {
        table.emplace(c.format);
        table->header({"Group", "Size", "Name", "Host", "ID", "Path"});
    }
    qint64 group = 0;
    search.find(options, [&](const QList<PathSearch::Hit> &copies) {
        ++group;
        if (!table)
            line(QStringLiteral("%1 bytes, %2 copies").arg(copies.first().row.size.toString()).arg(copies.size()));
        for (const PathSearch::Hit &hit : copies) {
            if (table)
                table->row({group, hit.row.size, hit.row.name, hit.row.host, hit.row.id, hit.path});
            else
                line(QStringLiteral("  ") + hit.path);
        }
        std::fflush(stdout);
        return limit == 0 || group < limit;
    });
    if (table)
        table->finish();
    std::fflush(stdout);
}
