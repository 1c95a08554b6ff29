#include "FindCommand.h"
#include "CatalogueGuard.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/LacTime.h"
#include "core/catalogue/PathSearch.h"
#include "core/scan/ScanSetup.h"

#include <cstdio>

namespace {
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
        "  PATTERN matches whole names as SQL LIKE does: % any run of characters, _ one\n"
        "  character, A to Z in either case\n"
        "  prints host/path/name for every match, one a line, as they are found\n"
        "  --type EXT          only this type (\"<DIR>\" folders, \"\" files without one)\n"
        "  --host HOST         only this host\n"
        "  --long              size in bytes, date (UTC, ISO 8601) and type before each path\n"
        "  --limit N           stop after N matches\n"
        "  --format tsv|csv|json  every stored field with Path and Date, a header first\n"
        "  --data DIR          data folder");
}

int FindCommand::fromCommandLine(const CommandContext &c)
{
    Options options;
    options.pattern = c.args.first();
    if (c.line.isSet("type"))
        options.type = c.line.value("type");
    options.host = c.line.value("host");
    options.longList = c.line.isSet("long");
    if (c.line.isSet("format"))
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
    std::optional<ResultWriter> table;
    if (options.format) {
        table.emplace(*options.format);
        table->header(PathSearch::fieldNames() + QStringList{"Path", "Date"});
    }
    m_sinceFlush.start();
    m_sinceRow.start();
    qint64 unknown = 0;
    search.find(options.pattern, options.type, options.host, options.limit, [&](const PathSearch::Hit &hit) {
        const CatalogueRecord &r = hit.row;
        if (table)
            table->row({r.name, r.ext, r.size, r.host, r.attr, hit.lac, r.id, r.pid, hit.path, dateValue(hit.lac)});
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
