#include "FactListing.h"
#include "ListingFields.h"

namespace {
int digitsAt(const QByteArray &s, int from, int count)
{
    int n = 0;
    for (int i = from; i < from + count; ++i)
        n = n * 10 + (s[i] - '0');
    return n;
}

// "YYYYMMDDHHMMSS[.sss]" in UTC, the fraction dropped. Read by hand: a
// listing has one per entry, and QDateTime::fromString took a seventh of a
// parallel scan's processor time.
QDateTime mlsdTime(const QByteArray &value)
{
    const QByteArray digits = value.left(14);
    if (digits.size() < 14 || !ListingFields::allDigits(digits))
        return QDateTime();
    const QDate date(digitsAt(digits, 0, 4), digitsAt(digits, 4, 2), digitsAt(digits, 6, 2));
    const QTime time(digitsAt(digits, 8, 2), digitsAt(digits, 10, 2), digitsAt(digits, 12, 2));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

void assignSize(ListedEntry &e, const QByteArray &text)
{
    const std::optional<quint64> size = ListingFields::allDigits(text) ? ListingFields::size(text) : std::nullopt;
    e.sizeKnown = size.has_value();
    e.size = size.value_or(0);
}

void applyType(ListedEntry &e, const QByteArray &value)
{
    const QByteArray type = value.toLower();
    if (type == "dir" || type == "cdir" || type == "pdir")
        e.kind = ListedEntry::Kind::Directory;
    // Pure-FTPd: "OS.unix=slink:TARGET"; ProFTPD: "OS.unix=symlink".
    else if (type.startsWith("os.unix=slink") || type.startsWith("os.unix=symlink"))
        e.kind = type.endsWith('/') ? ListedEntry::Kind::LinkToDirectory : ListedEntry::Kind::Link;
}
} // namespace

bool FactListing::isSelfOrParent(const QByteArray &line)
{
    const QByteArray facts = line.left(line.indexOf(' ')).toLower();
    return facts.startsWith("type=cdir;") || facts.startsWith("type=pdir;") || facts.contains(";type=cdir;")
        || facts.contains(";type=pdir;");
}

std::optional<ListedEntry> FactListing::mlsd(const QByteArray &line)
{
    ListedEntry e;
    qsizetype pos = 0;
    // Facts are "name=value;" up to the single space before the name; a value
    // may hold spaces (a link target), never a ";". Fact names in any case.
    while (pos < line.size() && line[pos] != ' ') {
        const qsizetype semi = line.indexOf(';', pos);
        if (semi < 0)
            return std::nullopt;
        const QByteArray fact = line.mid(pos, semi - pos);
        const qsizetype eq = fact.indexOf('=');
        if (eq <= 0)
            return std::nullopt;
        const QByteArray key = fact.left(eq).toLower();
        const QByteArray value = fact.mid(eq + 1);
        if (key == "type")
            applyType(e, value);
        else if (key == "size" || key == "sizd")
            assignSize(e, value);
        else if (key == "modify")
            e.modified = mlsdTime(value);
        else if (key == "unique")
            e.unique = value;
        pos = semi + 1;
    }
    if (pos + 1 >= line.size())
        return std::nullopt;
    e.name = line.mid(pos + 1);
    return e;
}

std::optional<ListedEntry> FactListing::eplf(const QByteArray &line)
{
    const qsizetype tab = line.indexOf('\t');
    if (!line.startsWith('+') || tab < 0 || tab + 1 >= line.size())
        return std::nullopt;
    ListedEntry e;
    for (const QByteArray &fact : line.mid(1, tab - 1).split(',')) {
        if (fact == "/")
            e.kind = ListedEntry::Kind::Directory;
        else if (fact.startsWith('s'))
            assignSize(e, fact.mid(1));
        else if (fact.startsWith('m') && ListingFields::allDigits(fact.mid(1)) && fact.size() < 15)
            e.modified = QDateTime::fromSecsSinceEpoch(fact.mid(1).toLongLong(), Qt::UTC);
        else if (fact.startsWith('i'))
            e.unique = fact.mid(1);
    }
    e.name = line.mid(tab + 1);
    return e;
}
