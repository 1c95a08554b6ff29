#include "MainframeListing.h"
#include "ListingDate.h"
#include "ListingFields.h"

#include <algorithm>

namespace {
using Kind = ListedEntry::Kind;

bool isMemberName(const QByteArray &name)
{
    static const QByteArray national = "@#$";
    if (name.isEmpty() || name.size() > 8)
        return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || national.contains(c);
        if (!ok)
            return false;
    }
    return !(name[0] >= '0' && name[0] <= '9');
}

// "2003/03/12": MVS always writes the year first.
QDate slashedYmd(const QByteArray &text)
{
    if (text.size() != 10 || text[4] != '/' || text[7] != '/')
        return {};
    return ListingDate::numericDate(text, "YMD");
}

// OS/400 writes dates in the job's format, by default MM/DD/YY; a first
// part above 12 can only be a day.
QDate os400Date(const QByteArray &text)
{
    const QDate mdy = ListingDate::numericDate(text, "MDY");
    return mdy.isValid() ? mdy : ListingDate::numericDate(text, "DMY");
}

// "01.01": the ISPF version and modification level.
bool isVersion(const QByteArray &text)
{
    return text.size() == 5 && text[2] == '.' && ListingFields::allDigits(text.left(2))
        && ListingFields::allDigits(text.mid(3));
}

bool isHex(const QByteArray &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
}

// "IEFBR14  000002  00000A ...": the size and TTR in hex.
bool isLoadModule(const ListingFields &f)
{
    return f.count() >= 3 && f[1].size() == 6 && f[2].size() == 6 && isHex(f[1]) && isHex(f[2]);
}

bool isObjectType(const QByteArray &type)
{
    return type.size() >= 4 && type.size() <= 11 && type[0] == '*'
        && std::all_of(type.begin() + 1, type.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// "/QSYS.LIB/" or "MYLIB.FILE/MEMBER.MBR": the entry is the last part.
QByteArray lastPart(QByteArray path)
{
    while (path.endsWith('/'))
        path.chop(1);
    return path.mid(path.lastIndexOf('/') + 1);
}
} // namespace

// "WYOSPT 3390 2003/03/12 1 1 FB 80 3120 PS USER.DATA": the data set name
// last, its organisation before it (PO, partitioned, holds members like a
// folder); sizes are in tracks and stay unknown. Migrated data sets show
// only "Migrated", folder-like qualifiers "Pseudo Directory".
std::optional<ListedEntry> MainframeListing::mvsDataSet(const QByteArray &line)
{
    const ListingFields f(line);
    const qsizetype n = f.count();
    ListedEntry e;
    e.name = f[n - 1];
    if (n == 2 && (f[0] == "Migrated" || f[0] == "MIGRATED"))
        return e;
    if (n == 3 && f[0] == "Pseudo" && f[1] == "Directory") {
        e.kind = Kind::Directory;
        return e;
    }
    if (n < 6 || !slashedYmd(f[2]).isValid() || f.begin(0) != 0)
        return std::nullopt;
    const QByteArray dsorg = f[n - 2];
    if (dsorg.size() < 2 || dsorg.size() > 4)
        return std::nullopt;
    e.modified = QDateTime(slashedYmd(f[2]), QTime(0, 0), Qt::UTC);
    if (dsorg.startsWith("PO"))
        e.kind = Kind::Directory;
    return e;
}

// Inside a PDS: "MEMBER1  01.01 2002/09/12 2002/09/12 10:40  26  26  0 USER01"
// (changed date and time kept; the size counts lines and stays unknown), a
// load module's "IEFBR14  000002  00000A ..." or the bare member name.
std::optional<ListedEntry> MainframeListing::mvsMember(const QByteArray &line)
{
    const ListingFields f(line);
    if (f.count() == 0 || f.begin(0) != 0 || !isMemberName(f[0]))
        return std::nullopt;
    ListedEntry e;
    e.name = f[0];
    if (f.count() == 1)
        return e;
    // Anything after the name must be the statistics or the load module's
    // columns: a data set line this reader did not know ("NRP004 3390
    // **NONE** ...", "V43525 Tape ...") would give its volume as the name.
    if (isLoadModule(f))
        return e;
    const QDate changed = slashedYmd(f[3]);
    const QTime time = ListingDate::time(f[4]);
    if (!isVersion(f[1]) || !slashedYmd(f[2]).isValid() || !changed.isValid() || !time.isValid())
        return std::nullopt;
    e.modified = QDateTime(changed, time, Qt::UTC);
    return e;
}

// z/VM: "PROFILE  EXEC  V  80  12  1 2003-06-11 10:42:33 -": file name and
// type (sent back as NAME.TYPE), record format and length, records,
// blocks. Fixed records give the exact size; SFS folders have type DIR.
std::optional<ListedEntry> MainframeListing::zvm(const QByteArray &line)
{
    const ListingFields f(line);
    const QByteArray recfm = f[2];
    if (f.count() < 8 || (recfm != "F" && recfm != "V" && recfm != "-" && recfm != "DIR"))
        return std::nullopt;
    const QByteArray dateText = f[6];
    const QDate date = dateText.contains('/') ? ListingDate::numericDate(dateText, "MDY")
                                              : ListingDate::numericDate(dateText, "YMD");
    const QTime time = ListingDate::time(f[7]);
    if (dateText.size() < 6 || !time.isValid())
        return std::nullopt;
    ListedEntry e;
    e.modified = QDateTime(date, time, Qt::UTC);
    if (f[1] == "DIR" || recfm == "DIR") {
        e.kind = Kind::Directory;
        e.name = f[0];
        return e;
    }
    e.name = f[0] + '.' + f[1];
    const int lrecl = ListingFields::number(f[3]);
    const int records = ListingFields::number(f[4]);
    if (recfm == "F" && lrecl >= 0 && records >= 0) {
        e.sizeKnown = true;
        e.size = quint64(lrecl) * quint64(records);
    }
    return e;
}

// OS/400: "QSYS  77824 02/23/00 15:09:55 *DIR  /QSYS.LIB/": owner, size,
// date and time (absent for members), object type, name. Libraries,
// folders and database files hold further entries; members of a file are
// listed as "FILE.FILE/MEMBER.MBR".
std::optional<ListedEntry> MainframeListing::os400(const QByteArray &line)
{
    const ListingFields f(line);
    // The type stands second (members) or fifth; "*" and capitals only, so
    // an MVS "**NONE**" is not taken for one.
    for (qsizetype c : {1, 4}) {
        const QByteArray type = f[c];
        if (c + 1 >= f.count() || !isObjectType(type))
            continue;
        if (c == 4 && (!ListingFields::size(f[1]) || !ListingDate::time(f[3]).isValid()))
            return std::nullopt;
        ListedEntry e;
        e.name = lastPart(f.fromField(c + 1));
        if (type == "*DIR" || type == "*LIB" || type == "*FLR" || type == "*FILE")
            e.kind = Kind::Directory;
        if (c == 4) {
            const auto size = ListingFields::size(f[1]);
            e.sizeKnown = size.has_value();
            e.size = size.value_or(0);
            e.modified = QDateTime(os400Date(f[2]), ListingDate::time(f[3]), Qt::UTC);
        }
        return e.name.isEmpty() ? std::nullopt : std::optional(e);
    }
    return std::nullopt;
}

// Guardian: "ALTLOG  101  15  24-Sep-97 12:11:23 255, 0 \"oooo\"": name,
// file code, end-of-file (the size), date, time, owner, security in quotes.
std::optional<ListedEntry> MainframeListing::nonStop(const QByteArray &line)
{
    const ListingFields f(line);
    if (f.count() < 7 || !ListingFields::allDigits(f[1]) || !ListingFields::allDigits(f[2])
        || !f[f.count() - 1].startsWith('"'))
        return std::nullopt;
    const QList<QByteArray> dmy = f[3].split('-');
    const QTime t = ListingDate::time(f[4]);
    if (dmy.size() != 3 || !t.isValid())
        return std::nullopt;
    const int month = ListingDate::monthName(dmy[1]);
    const int day = ListingFields::number(dmy[0]);
    const int year = ListingFields::number(dmy[2]);
    if (month == 0 || day < 0 || year < 0)
        return std::nullopt;
    ListedEntry e;
    e.name = f[0];
    const auto size = ListingFields::size(f[2]);
    e.sizeKnown = size.has_value();
    e.size = size.value_or(0);
    e.modified = QDateTime(QDate(ListingDate::fullYear(year), month, day), t, Qt::UTC);
    return e;
}

// Column headers of MVS data set, member and load module listings, and of
// Guardian file listings.
bool MainframeListing::isNoise(const QByteArray &trimmed)
{
    return trimmed.startsWith("Volume Unit") || (trimmed.startsWith("Name ") && trimmed.contains(" VV.MM"))
        || (trimmed.startsWith("Name ") && trimmed.contains(" TTR")) || trimmed.startsWith("File         Code")
        || (trimmed.startsWith("File ") && trimmed.contains(" Code ") && trimmed.contains(" EOF"));
}
