#include "UnixListing.h"
#include "ListingDate.h"
#include "ListingFields.h"

#include <algorithm>
#include <cstring>

namespace {
using Kind = ListedEntry::Kind;

// The rightmost column that can hold a date in the widest layout: type and
// permissions, links, owner, group, size; devices show "major, minor".
constexpr qsizetype LastDateColumn = 5;
constexpr qsizetype LastDeviceDateColumn = 6;

// "rwx" three times, each letter where ls puts it; the execute place also
// shows set-id, sticky and lock bits.
bool isModeBits(QByteArrayView bits)
{
    static const char *const places[] = {"r-?", "w-?", "xsStTlLA-?"};
    if (bits.size() < 9)
        return false;
    for (int i = 0; i < 9; ++i) {
        if (!std::strchr(places[i % 3], bits[i]) || bits[i] == 0)
            return false;
    }
    return true;
}

// The type letter (besides "-dlcbps": "D" doors, "n" network files, "f" a
// plain file on some servers, any other a file of a kind not kept apart)
// and the mode bits; after them only ACL and security-context marks.
bool isPermissions(const QByteArray &p)
{
    if (p.size() < 10 || p.size() > 11)
        return false;
    const bool type = p[0] == '-' || p[0] == '?' || (p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z');
    return type && isModeBits(QByteArrayView(p).sliced(1)) && (p.size() == 10 || QByteArray("+.@").contains(p[10]));
}

// Some servers leave the type out: "rw-r--r--", a plain file.
bool isBareModeBits(const QByteArray &p)
{
    return p.size() == 9 && isModeBits(p);
}

// Connect:Enterprise lists mailbox batches: "-A-R------ 1 MBOX0001 0012345
// 17 Mar 3 15:33 name": ten status flags in capitals (the protocol may
// follow them unspaced), batch type, mailbox, batch number, and a count of
// blocks that is no byte size.
bool isBatchFlags(const QByteArray &p)
{
    if (p.size() < 10 || isPermissions(p))
        return false;
    const QByteArrayView flags = QByteArrayView(p).first(10);
    const QByteArrayView protocol = QByteArrayView(p).sliced(10);
    const auto capital = [](char c) { return c >= 'A' && c <= 'Z'; };
    return std::all_of(flags.begin(), flags.end(), [&](char c) { return c == '-' || capital(c); })
        && std::all_of(protocol.begin(), protocol.end(), capital);
}

// A long group name leaves no blank before the size ("longgroup123456");
// the trailing digits are the size. A group that itself ends in digits
// cannot be told apart, and gives its digits to the size.
std::optional<quint64> gluedSize(const QByteArray &text)
{
    qsizetype i = text.size();
    while (i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9')
        --i;
    if (i == 0 || i == text.size())
        return std::nullopt;
    return ListingFields::size(text.mid(i));
}

void assignSize(ListedEntry &e, const ListingFields &f, qsizetype column)
{
    std::optional<quint64> size = ListingFields::size(f[column]);
    if (!size && column >= 2)
        size = gluedSize(f[column]);
    e.sizeKnown = size.has_value();
    e.size = size.value_or(0);
    e.partial = e.partial || !e.sizeKnown;
}

// "name -> target" keeps the name; a target ending in "/" (ls -F) tells the
// link leads to a folder. Only link lines are cut: a file may be named "a -> b".
void applyKind(ListedEntry &e, Kind kind)
{
    e.kind = kind;
    if (kind != Kind::Link)
        return;
    const qsizetype arrow = e.name.indexOf(" -> ");
    if (arrow < 0)
        return;
    if (e.name.endsWith('/'))
        e.kind = Kind::LinkToDirectory;
    e.name.truncate(arrow);
}

// A word that may be part of a date or time this reader did not know:
// digits ("09-26", "2000", "30:01") or a month name.
bool mayBeDatePart(const QByteArray &word)
{
    return std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; })
        || ListingDate::monthName(word.endsWith(',') ? word.chopped(1) : word) != 0;
}

// ls puts one blank between the date and the name: a name that starts with
// more blanks and holds a date-like word is columns the date was read
// before or without. A name in its own padded column (NetWare) never starts
// with a date, time or size.
bool plausibleName(const QByteArray &name, bool nameInColumn)
{
    if (name.isEmpty())
        return false;
    const ListingFields words(name);
    if (nameInColumn)
        return !ListingDate::mayBeColumn(words[0]);
    if (!name.startsWith(' ') && !name.startsWith('\t'))
        return true;
    if (mayBeDatePart(words[0]))
        return false;
    for (qsizetype i = 1; i < words.count(); ++i) {
        if (ListingDate::mayBeColumn(words[i]) || ListingDate::monthName(words[i]) != 0)
            return false;
    }
    return true;
}

// The column before the date is the size, glued to a long group, or at
// least begins like a number (a size too large or misprinted is read in
// part): "group" there means the date was read a column too far left.
bool sizeLike(const QByteArray &text)
{
    return (!text.isEmpty() && text[0] >= '0' && text[0] <= '9') || gluedSize(text);
}

// Owner and group columns vary (missing, glued, month-like: an owner "jun"
// with group "20" reads as a date), so the date is the one nearest the name:
// the rightmost that can stand in ls's widest layout.
std::optional<ListedEntry> afterColumns(const ListingFields &f, Kind kind, const QDateTime &now,
                                        qsizetype firstDate, bool nameInColumn)
{
    const bool device = f[0].startsWith('b') || f[0].startsWith('c');
    const qsizetype last = device ? LastDeviceDateColumn : LastDateColumn;
    for (qsizetype m = qMin(last, f.count() - 2); m >= firstDate; --m) {
        const ListingDate::Read date = ListingDate::unixAt(f, m, now);
        if (!date.found() || date.next >= f.count())
            continue;
        ListedEntry e;
        e.name = nameInColumn ? f.fromField(date.next) : f.afterField(date.next - 1);
        if (!plausibleName(e.name, nameInColumn) || (m >= 2 && !sizeLike(f[m - 1])))
            continue;
        e.modified = date.when;
        e.precision = date.precision;
        e.onServerClock = date.onServerClock;
        e.partial = !date.when.isValid(); // a date's shape with an impossible value
        if (m >= 2)
            assignSize(e, f, m - 1);
        applyKind(e, kind);
        return e;
    }
    return std::nullopt;
}

// Some servers print no date at all: "perms links owner group size name".
// Any date-like word among the name's first ones means a date was there but
// not read: the line is left unread rather than stored with the date in
// its name. So is a name that starts with blanks, which a misread column
// leaves behind.
std::optional<ListedEntry> undated(const ListingFields &f, Kind kind)
{
    if (f.count() < 6 || !ListingFields::allDigits(f[1]) || !ListingFields::size(f[4]))
        return std::nullopt;
    if (f.begin(5) != f.end(4) + 1)
        return std::nullopt;
    for (qsizetype i = 5; i < 9 && i < f.count(); ++i) {
        if (mayBeDatePart(f[i]))
            return std::nullopt;
    }
    ListedEntry e;
    e.name = f.afterField(4);
    assignSize(e, f, 4);
    applyKind(e, kind);
    return e;
}

// "-rw-r--r-- 1 john smith  test group  1024 Dec 08 22:18 name": owner or
// group names with blanks push the date past ls's widest layout. The line
// is read only when exactly one place further right holds a size and a
// date followed by a name, and no word before it reads as a number, date
// or time (a date form this reader does not know, followed by a name that
// holds a size and a date, would look the same).
std::optional<ListedEntry> spacedOwner(const ListingFields &f, Kind kind, const QDateTime &now)
{
    if (!ListingFields::allDigits(f[1]))
        return std::nullopt;
    std::optional<ListedEntry> found;
    for (qsizetype m = LastDateColumn + 1; m + 1 < f.count(); ++m) {
        const ListingDate::Read date = ListingDate::unixAt(f, m, now);
        if (!date.found() || date.next >= f.count() || !ListingFields::size(f[m - 1]))
            continue;
        for (qsizetype w = 2; w < m - 1; ++w) {
            if (ListingDate::mayBeColumn(f[w]))
                return std::nullopt;
        }
        ListedEntry e;
        e.name = f.afterField(date.next - 1);
        if (!plausibleName(e.name, false))
            continue;
        if (found)
            return std::nullopt;
        e.modified = date.when;
        e.precision = date.precision;
        e.onServerClock = date.onServerClock;
        e.partial = !date.when.isValid();
        assignSize(e, f, m - 1);
        applyKind(e, kind);
        found = std::move(e);
    }
    return found;
}

std::optional<ListedEntry> batch(const ListingFields &f, const QDateTime &now)
{
    std::optional<ListedEntry> e = afterColumns(f, Kind::File, now, 1, false);
    if (e) {
        e->sizeKnown = false;
        e->size = 0;
        e->partial = !e->modified.isValid();
    }
    return e;
}

Kind kindOfType(char type)
{
    return type == 'd' ? Kind::Directory : type == 'l' ? Kind::Link : Kind::File;
}
} // namespace

std::optional<ListedEntry> UnixListing::ls(const QByteArray &line, const QDateTime &now)
{
    ListingFields f(line);
    // "ls -ls" puts the blocks used before the permissions.
    if (f.count() > 3 && ListingFields::allDigits(f[0]) && isPermissions(f[1]))
        f = ListingFields(line.mid(f.begin(1)));
    if (f.count() < 3)
        return std::nullopt;
    if (isBatchFlags(f[0]))
        return batch(f, now);
    const bool bare = isBareModeBits(f[0]);
    if (!bare && !isPermissions(f[0]))
        return std::nullopt;
    const Kind kind = bare ? Kind::File : kindOfType(f[0][0]);
    if (auto e = afterColumns(f, kind, now, 1, false))
        return e;
    if (auto e = spacedOwner(f, kind, now))
        return e;
    return undated(f, kind);
}

// Some embedded and Windows-hosted servers print the mode in octal
// ("0100644"): the file type is in the bits above the permissions.
std::optional<ListedEntry> UnixListing::numericMode(const QByteArray &line, const QDateTime &now)
{
    const ListingFields f(line);
    const QByteArray mode = f[0];
    if (f.count() < 3 || mode.size() < 6 || mode.size() > 7)
        return std::nullopt;
    bool ok = false;
    const uint bits = mode.toUInt(&ok, 8);
    const uint type = bits & 0170000;
    if (!ok || (type != 0100000 && type != 0040000 && type != 0120000))
        return std::nullopt;
    const Kind kind = type == 0040000 ? Kind::Directory : type == 0120000 ? Kind::Link : Kind::File;
    if (auto e = afterColumns(f, kind, now, 1, false))
        return e;
    return undated(f, kind);
}

// NetWare: "d [R----F--] owner 512 Jan 16 18:53    login": a lone type
// letter, the rights in brackets, and the name padded into its column.
std::optional<ListedEntry> UnixListing::netware(const QByteArray &line, const QDateTime &now)
{
    const ListingFields f(line);
    const QByteArray rights = f[1];
    if (f.count() < 6 || (f[0] != "d" && f[0] != "-") || !rights.startsWith('[') || !rights.endsWith(']'))
        return std::nullopt;
    return afterColumns(f, f[0] == "d" ? Kind::Directory : Kind::File, now, 3, true);
}
