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

// "155" or "155/160": blocks used, then allocated.
void assignBlocks(ListedEntry &e, const QByteArray &text)
{
    const qsizetype slash = text.indexOf('/');
    const int blocks = ListingFields::number(slash < 0 ? text : text.left(slash));
    e.sizeKnown = blocks >= 0;
    e.size = e.sizeKnown ? quint64(blocks) * BlockBytes : 0;
}

// "2-JUL-2003" and a time, maybe with hundredths.
QDateTime vmsDate(const QByteArray &date, const QByteArray &time)
{
    const QList<QByteArray> parts = date.split('-');
    if (parts.size() != 3)
        return {};
    const int day = ListingFields::number(parts[0]);
    const int month = ListingDate::monthName(parts[1]);
    const int year = ListingFields::number(parts[2]);
    const QTime t = ListingDate::time(time);
    if (day < 1 || month == 0 || year < 0)
        return {};
    return QDateTime(QDate(year, month, day), t.isValid() ? t : QTime(0, 0), Qt::UTC);
}
} // namespace

// "NAME.EXT;1  155  2-JUL-2003 10:30:13.64  [SYSTEM]  (RWED,RWED,RE,RE)";
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
    assignBlocks(e, f[1]);
    if (!e.sizeKnown)
        return std::nullopt;
    e.modified = vmsDate(f[2], f[3]);
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
