#include "ListingParser.h"
#include "DosListing.h"
#include "FactListing.h"
#include "MainframeListing.h"
#include "UnixListing.h"
#include "VmsListing.h"

#include <algorithm>

namespace {
bool isDotName(const QByteArray &name)
{
    return name == "." || name == "..";
}

// "total 12" as ls prints it in the languages servers are set to.
bool isTotal(const QByteArray &trimmed)
{
    static const QByteArrayList words = {"total", "insgesamt", "totaal", "totale", "totalt", "razem",
                                         "\xD0\xB8\xD1\x82\xD0\xBE\xD0\xB3\xD0\xBE", // итого
                                         "\xE5\x90\x88\xE8\xA8\x88",                 // 合計
                                         "\xE6\x80\xBB\xE7\x94\xA8\xE9\x87\x8F",     // 总用量
                                         "\xED\x95\xA9\xEA\xB3\x84"};                // 합계
    const qsizetype blank = trimmed.indexOf(' ');
    const QByteArray first = blank < 0 ? trimmed : trimmed.left(blank);
    if (!words.contains(first.toLower()))
        return false;
    const QByteArray rest = blank < 0 ? QByteArray() : trimmed.mid(blank + 1).trimmed();
    return rest.isEmpty() || (rest[0] >= '0' && rest[0] <= '9');
}

// The headers of OS-9's "dir -e": "Owner  Last modified ..." and dashes.
bool isOs9Header(const QByteArray &trimmed)
{
    return (trimmed.startsWith("Owner ") && trimmed.contains("Last modified"))
        || (trimmed.startsWith("-------") && trimmed.count('-') * 2 > trimmed.size());
}

bool isBlank(const QByteArray &line)
{
    // What QByteArray::trimmed() removes.
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

bool looksLikeFacts(const QByteArray &line)
{
    const qsizetype blank = line.indexOf(' ');
    const qsizetype eq = line.indexOf('=');
    const qsizetype semi = line.indexOf(';');
    return blank > 0 && eq > 0 && semi > eq && semi < blank && line[blank - 1] == ';';
}
} // namespace

ListingParser::ListingParser(Format format, Family family, QDateTime now)
    : m_format(format)
    , m_family(family)
    , m_now(std::move(now))
{
}

// "215 UNIX Type: L8", "215 VMS OpenVMS V8.4", "215 MVS is the operating
// system of this server. FTP Server is running on z/OS.", "215 OS/400 is the
// remote operating system.", "215 Windows_NT".
ListingParser::Family ListingParser::familyFromSyst(const QByteArray &systReply)
{
    const QByteArray s = systReply.toUpper();
    if (s.contains("UNIX"))
        return Family::Any;
    if (s.contains("VMS"))
        return Family::Vms;
    if (s.contains("MVS") || s.contains("Z/OS"))
        return Family::Mvs;
    if (s.contains("OS/400"))
        return Family::Os400;
    if (s.contains("WINDOWS_NT"))
        return Family::WindowsNt;
    return Family::Any;
}

bool ListingParser::isNoise(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    return t.isEmpty() || isTotal(t) || VmsListing::isNoise(t) || MainframeListing::isNoise(t) || isOs9Header(t);
}

ListingParser::Line ListingParser::classify(const QByteArray &line) const
{
    Line l;
    const bool facts = m_format == Format::Mlsd || looksLikeFacts(line);
    if (isBlank(line) || (facts && FactListing::isSelfOrParent(line))) {
        l.kind = Line::Kind::Noise;
        return l;
    }
    // An MLSD line is facts and a name, never a LIST header or total: with
    // empty facts (" total 12") the name is a file's. Nor is an ls line's
    // name ever facts, whatever "type=cdir;" it holds.
    if (m_format == Format::List && isNoise(line)) {
        l.kind = Line::Kind::Noise;
        return l;
    }
    std::optional<ListedEntry> e = m_format == Format::Mlsd ? FactListing::mlsd(line) : parseList(line);
    if (!e || e->name.isEmpty())
        return l;
    l.kind = isDotName(e->name) ? Line::Kind::Noise : Line::Kind::Entry;
    l.entry = std::move(*e);
    return l;
}

std::optional<ListedEntry> ListingParser::parse(const QByteArray &line) const
{
    Line l = classify(line);
    if (l.kind != Line::Kind::Entry)
        return std::nullopt;
    return std::move(l.entry);
}

// lines by value: a listing handed over whole has its "\r" cut in place,
// without a copy of every line.
ListingParser::Parsed ListingParser::parseListing(QByteArrayList lines) const
{
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    Parsed p;
    // MLSD lines stand alone; only LIST output wraps long VMS entries (and
    // telling them apart looked at every MLSD line, which holds ';' too).
    const QByteArrayList joined = m_format == Format::Mlsd ? lines : VmsListing::joinWrapped(lines);
    for (const QByteArray &line : joined) {
        Line l = classify(line);
        if (l.kind == Line::Kind::Entry) {
            p.partial += l.entry.partial ? 1 : 0;
            p.entries.append(std::move(l.entry));
        } else if (l.kind == Line::Kind::Unreadable) {
            if (++p.unreadable <= SampleCount)
                p.samples.append(line);
        }
    }
    return p;
}

std::optional<ListedEntry> ListingParser::parseList(const QByteArray &line) const
{
    if (auto e = byFamily(line))
        return e;
    return byShape(line);
}

// The families whose lines could be read as another's, or could not be
// recognised by shape at all (a PDS member is a bare name).
std::optional<ListedEntry> ListingParser::byFamily(const QByteArray &line) const
{
    switch (m_family) {
    case Family::Vms:
        return VmsListing::parse(line);
    case Family::Mvs:
        if (auto e = MainframeListing::mvsDataSet(line))
            return e;
        return MainframeListing::mvsMember(line);
    case Family::Os400:
        return MainframeListing::os400(line);
    case Family::WindowsNt:
        return DosListing::dos(line);
    case Family::Any:
        break;
    }
    return std::nullopt;
}

// Every parser is strict about its own shape, so the order only matters
// where two shapes meet (VxWorks before old VShell).
std::optional<ListedEntry> ListingParser::byShape(const QByteArray &line) const
{
    if (line.startsWith('+'))
        return FactListing::eplf(line);
    if (looksLikeFacts(line))
        return FactListing::mlsd(line);
    using Dated = std::optional<ListedEntry> (*)(const QByteArray &, const QDateTime &);
    for (Dated p : {UnixListing::ls, UnixListing::numericMode, UnixListing::netware}) {
        if (auto e = p(line, m_now))
            return e;
    }
    using Plain = std::optional<ListedEntry> (*)(const QByteArray &);
    for (Plain p : {DosListing::dos, DosListing::os2, DosListing::vxWorks, DosListing::os9, VmsListing::parse,
                    MainframeListing::nonStop, MainframeListing::zvm, MainframeListing::os400,
                    MainframeListing::mvsDataSet}) {
        if (auto e = p(line))
            return e;
    }
    // Last: a size and an ls date would also read VxWorks' year and time.
    return DosListing::vshell(line, m_now);
}
