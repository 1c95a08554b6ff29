#include "DosListing.h"
#include "ListingDate.h"
#include "ListingFields.h"

#include <algorithm>

namespace {
using Kind = ListedEntry::Kind;

void assignSize(ListedEntry &e, const QByteArray &text)
{
    const std::optional<quint64> size = ListingFields::size(text);
    e.sizeKnown = size.has_value();
    e.size = size.value_or(0);
}

// IIS prints MM-DD-YY; set to ISO it prints YYYY-MM-DD.
QDate dosDate(const QByteArray &text)
{
    if (text.size() == 10 && (text[4] == '-' || text[4] == '/'))
        return ListingDate::numericDate(text, "YMD");
    return ListingDate::numericDate(text, "MDY");
}

bool looksDated(const QByteArray &text)
{
    return text.size() >= 8 && text.size() <= 10 && text[0] >= '0' && text[0] <= '9'
        && (text.count('-') == 2 || text.count('/') == 2);
}

// The folder markers of the Windows "dir" layout; the links' "[target]"
// after the name is not part of it.
bool applyMarker(ListedEntry &e, const QByteArray &column)
{
    const QByteArray marker = column.toUpper();
    if (marker == "<DIR>")
        e.kind = Kind::Directory;
    else if (marker == "<JUNCTION>" || marker == "<SYMLINKD>")
        e.kind = Kind::LinkToDirectory;
    else if (marker == "<SYMLINK>")
        e.kind = Kind::Link;
    else
        return false;
    if (e.kind != Kind::Directory && e.name.endsWith(']')) {
        const qsizetype open = e.name.lastIndexOf(" [");
        if (open > 0)
            e.name.truncate(open);
    }
    return true;
}

// The name's column comes after the date and time: a name starting with a
// time, date or size is one of those read a column early, and a name
// holding a time is a line whose time stood after its name.
bool nameInPlace(const QByteArray &name)
{
    const ListingFields words(name);
    if (words.count() == 0 || ListingDate::mayBeColumn(words[0]))
        return false;
    for (qsizetype i = 1; i < words.count(); ++i) {
        if (words[i].contains(':') && ListingDate::time(words[i]).isValid())
            return false;
    }
    return true;
}

// "04-23-103" or "04-23-2003": month, day, and a year of two to four
// digits. A date of that shape with an impossible value is an invalid
// date; any other shape, none.
std::optional<QDate> os2Date(const QByteArray &text)
{
    const QList<QByteArray> parts = text.split('-');
    if (parts.size() != 3 || parts[0].size() > 2 || parts[1].size() > 2 || parts[2].size() < 2)
        return std::nullopt;
    for (const QByteArray &p : parts) {
        if (!ListingFields::allDigits(p))
            return std::nullopt;
    }
    return ListingDate::numericDate(text, "MDY");
}

// "DIR<blank>" padding before VxWorks' folder marker is column filling.
bool chopTrailingMarker(QByteArray &name, const QByteArray &marker)
{
    if (!name.endsWith(marker))
        return false;
    name.chop(marker.size());
    while (name.endsWith(' ') || name.endsWith('\t'))
        name.chop(1);
    return true;
}

bool isHex(const QByteArray &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}
} // namespace

// IIS and other Windows servers: "12-07-20  10:00PM  <DIR>  name", sizes
// possibly with separators, the time maybe split from its "PM".
std::optional<ListedEntry> DosListing::dos(const QByteArray &line)
{
    const ListingFields f(line);
    if (f.count() < 4 || !looksDated(f[0]))
        return std::nullopt;
    qsizetype col = 1;
    QByteArray timeText = f[col++];
    if (f[col].toUpper() == "AM" || f[col].toUpper() == "PM")
        timeText += f[col++].toUpper();
    const QDate d = dosDate(f[0]);
    const QTime t = ListingDate::time(timeText);
    if (!t.isValid() || col + 1 >= f.count())
        return std::nullopt;
    ListedEntry e;
    e.modified = QDateTime(d, t, Qt::UTC);
    e.name = f.fromField(col + 1);
    if (!applyMarker(e, f[col])) {
        assignSize(e, f[col]);
        // A second number, time or date before the name is a column this
        // reader does not know, not the start of the name; after a folder
        // marker the name always follows.
        if (!e.sizeKnown || (f.count() > col + 2 && ListingDate::mayBeColumn(f[col + 1])))
            return std::nullopt;
    }
    return e;
}

// OS/2: "36611  A  04-23-103  10:57  name": size, attributes (DIR for a
// folder), and a year counted from 1900.
std::optional<ListedEntry> DosListing::os2(const QByteArray &line)
{
    const ListingFields f(line);
    if (f.count() < 4 || !ListingFields::allDigits(f[0]))
        return std::nullopt;
    for (qsizetype c = 1; c <= 3 && c + 2 < f.count(); ++c) {
        const QByteArray date = f[c];
        const QTime t = ListingDate::time(f[c + 1]);
        if (date.count('-') != 2 || date.size() < 8 || date.size() > 10 || !t.isValid())
            continue;
        const std::optional<QDate> d = os2Date(date);
        ListedEntry e;
        e.name = f.fromField(c + 2);
        if (!d || !nameInPlace(e.name))
            return std::nullopt;
        e.modified = QDateTime(*d, t, Qt::UTC);
        e.partial = !d->isValid();
        assignSize(e, f[0]);
        for (qsizetype a = 1; a < c; ++a) {
            if (f[a] == "DIR")
                e.kind = Kind::Directory;
        }
        return e;
    }
    return std::nullopt;
}

// VxWorks: "  4096  JAN 01 1980  00:00:00  bin   <DIR>": size first, the
// year before the time (seconds left out by some builds), folders marked
// after the name.
std::optional<ListedEntry> DosListing::vxWorks(const QByteArray &line)
{
    const ListingFields f(line);
    if (f.count() < 6 || !ListingFields::allDigits(f[0]))
        return std::nullopt;
    const int month = ListingDate::monthName(f[1]);
    const int day = ListingFields::number(f[2]);
    const int year = ListingFields::number(f[3]);
    const QTime t = ListingDate::time(f[4]);
    if (month == 0 || day < 1 || !ListingDate::plausibleYear(year) || !t.isValid())
        return std::nullopt;
    ListedEntry e;
    e.modified = QDateTime(QDate(year, month, day), t, Qt::UTC);
    e.name = f.fromField(5);
    if (!nameInPlace(e.name))
        return std::nullopt;
    if (chopTrailingMarker(e.name, "<DIR>"))
        e.kind = Kind::Directory;
    else
        assignSize(e, f[0]);
    return e.name.isEmpty() ? std::nullopt : std::optional(e);
}

// OS-9: "  0.0  05/09/14 1515  d-ewrewr  12A4  160 CMDS": owner group.user,
// YY/MM/DD and HHMM, attributes with "d" for a folder, sector in hex, size.
std::optional<ListedEntry> DosListing::os9(const QByteArray &line)
{
    const ListingFields f(line);
    const QByteArray owner = f[0];
    const QByteArray hhmm = f[2];
    const QByteArray attrs = f[3];
    if (f.count() < 7 || owner.count('.') != 1 || f[1].count('/') != 2 || hhmm.size() != 4
        || !ListingFields::allDigits(hhmm) || attrs.size() != 8 || !isHex(f[4]) || !ListingFields::allDigits(f[5])
        || !nameInPlace(f.fromField(6)))
        return std::nullopt;
    ListedEntry e;
    const QTime t(hhmm.left(2).toInt(), hhmm.mid(2).toInt());
    e.modified = QDateTime(ListingDate::numericDate(f[1], "YMD"), t, Qt::UTC);
    e.kind = attrs[0] == 'd' ? Kind::Directory : Kind::File;
    assignSize(e, f[5]);
    e.name = f.fromField(6);
    return e;
}

// Old VShell for Windows: "  1234  Dec 08 22:18  name": no permissions,
// owner or group; the size, an ls date, the name.
std::optional<ListedEntry> DosListing::vshell(const QByteArray &line, const QDateTime &now)
{
    const ListingFields f(line);
    // Only the month-first date ls prints: a size before "14-DEC-1999" is
    // a VMS line cut short.
    if (f.count() < 5 || !ListingFields::size(f[0]) || ListingDate::monthName(f[1]) == 0)
        return std::nullopt;
    const ListingDate::Read date = ListingDate::unixAt(f, 1, now);
    if (!date.found() || date.next >= f.count())
        return std::nullopt;
    ListedEntry e;
    e.modified = date.when;
    e.precision = date.precision;
    e.onServerClock = date.onServerClock;
    e.name = f.fromField(date.next);
    if (!nameInPlace(e.name))
        return std::nullopt;
    if (chopTrailingMarker(e.name, "<DIR>"))
        e.kind = Kind::Directory;
    else
        assignSize(e, f[0]);
    return e;
}
