#include "VmsListing.h"
#include "ListingDate.h"
#include "ListingFields.h"

namespace {
constexpr quint64 BlockBytes = 512;

// "NAME.EXT;12": the version number is not part of the name.
qsizetype versionAt(const QByteArray &field)
{
    const qsizetype semi = field.lastIndexOf(';');
    if (semi <= 0 || !ListingFields::allDigits(field.mid(semi + 1)))
        return -1;
    return semi;
}

// "155" or "170774/170775": blocks used, then allocated; "2KB" or "1.5MB"
// from servers that print bytes.
std::optional<quint64> sizeOf(const QByteArray &text)
{
    const QList<QByteArray> parts = text.split('/');
    if (parts.size() == 2 && !ListingFields::allDigits(parts[1]))
        return std::nullopt;
    if (parts.size() <= 2 && ListingFields::allDigits(parts[0])) {
        const std::optional<quint64> blocks = ListingFields::plainDigits(parts[0]);
        if (blocks && *blocks < (quint64(1) << 54))
            return *blocks * BlockBytes;
        return std::nullopt;
    }
    if (!text.endsWith('B') || text.size() < 3)
        return std::nullopt;
    return ListingFields::size(text);
}

// "2-JUL-2003", a day, a month name and a four-digit year. "31-FEB-2003"
// is a date with no valid value, anything else no date.
std::optional<QDate> vmsDate(const QByteArray &date)
{
    const QList<QByteArray> parts = date.split('-');
    if (parts.size() != 3 || parts[0].size() > 2 || parts[2].size() != 4)
        return std::nullopt;
    const int day = ListingFields::number(parts[0]);
    const int month = ListingDate::monthName(parts[1]);
    const int year = ListingFields::number(parts[2]);
    if (day < 1 || month == 0 || !ListingDate::plausibleYear(year))
        return std::nullopt;
    return QDate(year, month, day);
}

// The columns after the name, in whatever order the server prints them:
// the size, the date with its time (maybe with hundredths), the owner in
// brackets and the protection in parentheses, each once at most. Any other
// column means the line is not what this reader knows.
bool readColumns(const ListingFields &f, ListedEntry &e)
{
    bool size = false, date = false, owner = false, protection = false;
    for (qsizetype i = 1; i < f.count(); ++i) {
        const QByteArray c = f[i];
        if (const std::optional<QDate> d = vmsDate(c); d && !date) {
            const QTime t = ListingDate::time(f[i + 1]);
            e.modified = QDateTime(*d, t.isValid() ? t : QTime(0, 0), Qt::UTC);
            e.partial = !d->isValid();
            i += t.isValid() ? 1 : 0;
            date = true;
        } else if (const auto bytes = sizeOf(c); bytes && !size) {
            e.sizeKnown = size = true;
            e.size = *bytes;
        } else if (c.startsWith('[') && c.endsWith(']') && !owner) {
            owner = true;
        } else if (c.startsWith('(') && c.endsWith(')') && !protection) {
            protection = true;
        } else {
            return false;
        }
    }
    return size || date;
}
} // namespace

// "NAME.EXT;1  155  2-JUL-2003 10:30:13.64  [SYSTEM]  (RWED,RWED,RE,RE)",
// or those columns in another order, the size as "155/160" or "2KB";
// a folder is "NAME.DIR;1" and is named NAME, as CWD takes it. A file the
// server may not read shows "%RMS-E-PRV" instead of its size and date: it
// is still there, with what is known of it.
std::optional<ListedEntry> VmsListing::parse(const QByteArray &line)
{
    const ListingFields f(line);
    const QByteArray first = f[0];
    const qsizetype version = versionAt(first);
    if (version < 0 || f.begin(0) != 0)
        return std::nullopt;
    ListedEntry e;
    e.name = first.left(version);
    if (e.name.toUpper().endsWith(".DIR")) {
        e.kind = ListedEntry::Kind::Directory;
        e.name.chop(4);
    }
    if (f.count() == 1 || f[1].startsWith('%'))
        return e.name.isEmpty() ? std::nullopt : std::optional(e);
    if (!readColumns(f, e))
        return std::nullopt;
    return e.name.isEmpty() ? std::nullopt : std::optional(e);
}

QByteArrayList VmsListing::joinWrapped(const QByteArrayList &lines)
{
    QByteArrayList joined;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const bool aloneName = line.contains(';') && !line.startsWith(' ') && ListingFields(line).count() == 1
            && versionAt(line.trimmed()) > 0;
        if (aloneName && i + 1 < lines.size() && lines[i + 1].startsWith(' ')
            && ListingFields(lines[i + 1]).count() >= 2) {
            joined.append(line.trimmed() + ' ' + lines[++i].trimmed());
            continue;
        }
        joined.append(line);
    }
    return joined;
}

// "Directory DISK$USER:[ANONYMOUS]" above, "Total of 3 files, 159 blocks."
// and "Grand total of ..." below.
bool VmsListing::isNoise(const QByteArray &trimmed)
{
    return (trimmed.startsWith("Directory ") && (trimmed.contains('[') || trimmed.contains(':')))
        || trimmed.startsWith("Total of ") || trimmed.startsWith("Grand total of ");
}
