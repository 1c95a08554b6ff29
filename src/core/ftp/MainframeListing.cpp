#include "MainframeListing.h"
#include "ListingDate.h"
#include "ListingFields.h"

#include <algorithm>

namespace {
using Kind = ListedEntry::Kind;

bool isNational(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '@' || c == '#' || c == '$';
}

bool isMemberName(const QByteArray &name)
{
    return !name.isEmpty() && name.size() <= 8 && std::all_of(name.begin(), name.end(), isNational)
        && !(name[0] >= '0' && name[0] <= '9');
}

// "2003/03/12": MVS writes the year first; servers before z/OS wrote
// "07/16/97", month first, and members' "94/01/05", year first.
QDate slashedYmd(const QByteArray &text)
{
    if (text.size() != 10 || text[4] != '/' || text[7] != '/')
        return {};
    return ListingDate::numericDate(text, "YMD");
}

QDate shortSlashed(const QByteArray &text, const char *order)
{
    if (text.size() != 8 || text[2] != '/' || text[5] != '/')
        return {};
    return ListingDate::numericDate(text, order);
}

// "USER.DATA", "SYS1.PROCLIB": qualifiers of one to eight letters, digits
// and national characters, none starting with a digit; 44 bytes at most.
bool isDataSetName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > 44)
        return false;
    for (const QByteArray &q : name.split('.')) {
        if (q.isEmpty() || q.size() > 8 || (q[0] >= '0' && q[0] <= '9') || q[0] == '-')
            return false;
        if (!std::all_of(q.begin(), q.end(), [](char c) { return isNational(c) || c == '-'; }))
            return false;
    }
    return true;
}

// "FB", "VBA", "U": the record format's letters, "?" where unknown.
bool isRecordFormat(const QByteArray &text)
{
    return !text.isEmpty() && text.size() <= 4
        && std::all_of(text.begin(), text.end(), [](char c) { return QByteArray("FVUBSAMT?").contains(c); });
}

bool isOrganisation(const QByteArray &text)
{
    static const QByteArrayList known = {"PS", "PO", "PO-E", "DA", "IS", "VS", "VSAM", "??", "**"};
    return known.contains(text);
}

// "USER01", "WYOSPT": a TSO user, job name or volume serial, up to eight
// letters, digits and national characters.
bool isIdentifier(const QByteArray &text)
{
    return !text.isEmpty() && text.size() <= 8 && std::all_of(text.begin(), text.end(), isNational);
}

// "2002/09/12" or, from older servers, "02/09/12": year first.
QDate memberDate(const QByteArray &text)
{
    return text.size() == 8 ? shortSlashed(text, "YMD") : slashedYmd(text);
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

// "WYOSPT 3390 2003/03/12 1 1 FB 80 3120 PS USER.DATA": volume, unit (z/OS
// 2 leaves it out), last referred, extents, tracks used, record format,
// record length, block size, organisation and the data set name. PO,
// partitioned, holds members like a folder; sizes are in tracks and stay
// unknown. Migrated data sets show only "Migrated", folder-like
// qualifiers "Pseudo Directory". Every column is checked: a line cut or
// shifted would give a number or a volume as the name.
std::optional<ListedEntry> MainframeListing::mvsDataSet(const QByteArray &line)
{
    const ListingFields f(line);
    const qsizetype n = f.count();
    if (n < 2 || f.begin(0) != 0 || !isDataSetName(f[n - 1]))
        return std::nullopt;
    ListedEntry e;
    e.name = f[n - 1];
    if (n == 2 && (f[0] == "Migrated" || f[0] == "MIGRATED"))
        return e;
    if (n == 3 && f[0] == "Pseudo" && f[1] == "Directory") {
        e.kind = Kind::Directory;
        return e;
    }
    if (n != 9 && n != 10)
        return std::nullopt;
    const qsizetype d = n - 8; // the referred date's column
    const QDate referred = d == 2 && shortSlashed(f[2], "MDY").isValid() ? shortSlashed(f[2], "MDY") : slashedYmd(f[d]);
    if (!referred.isValid() || !isIdentifier(f[0]) || !ListingFields::allDigits(f[d + 1])
        || !ListingFields::allDigits(f[d + 2]) || !isRecordFormat(f[d + 3]) || !ListingFields::allDigits(f[d + 4])
        || !ListingFields::allDigits(f[d + 5]) || !isOrganisation(f[n - 2]))
        return std::nullopt;
    e.modified = QDateTime(referred, QTime(0, 0), Qt::UTC);
    if (f[n - 2].startsWith("PO"))
        e.kind = Kind::Directory;
    return e;
}

// Inside a PDS: "MEMBER1  01.01 2002/09/12 2002/09/12 10:40  26  26  0 USER01":
// version and modification level, created, changed date and time, size,
// initial size and lines modified (lines, so the size stays unknown), and
// the user who changed it, which may be missing. A load module's
// "IEFBR14  000002  00000A ..." or the bare member name stand alone.
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
    const QDate changed = memberDate(f[3]);
    const QTime time = ListingDate::time(f[4]);
    if ((f.count() != 8 && f.count() != 9) || !isVersion(f[1]) || !memberDate(f[2]).isValid() || !changed.isValid()
        || !time.isValid() || !ListingFields::allDigits(f[5]) || !ListingFields::allDigits(f[6])
        || !ListingFields::allDigits(f[7]) || (f.count() == 9 && !isIdentifier(f[8])))
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
