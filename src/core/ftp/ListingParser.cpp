#include "ListingParser.h"

#include <QList>

namespace {
bool isDotName(const QByteArray &name)
{
    return name == "." || name == "..";
}

struct Token
{
    qsizetype begin;
    qsizetype end;
};

QList<Token> tokenize(const QByteArray &line)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            tokens.append({start, i});
    }
    return tokens;
}

int monthNumber(const QByteArray &word)
{
    static const char *names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
    const QByteArray lower = word.toLower();
    for (int m = 0; m < 12; ++m) {
        if (lower == names[m])
            return m + 1;
    }
    return 0;
}

bool allDigits(const QByteArray &s)
{
    if (s.isEmpty())
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// "22:00" or "2000"; a time without a year is within the last year: a date
// more than a day ahead of now belongs to the year before.
QDateTime unixDate(int month, int day, const QByteArray &timeOrYear, const QDateTime &now)
{
    if (allDigits(timeOrYear))
        return QDateTime(QDate(timeOrYear.toInt(), month, day), QTime(0, 0), Qt::UTC);
    // "22:00" or "9:05"; parsed by hand, QTime::fromString is slow for a
    // line per entry.
    const qsizetype colon = timeOrYear.indexOf(':');
    const QByteArray hh = timeOrYear.left(colon);
    const QByteArray mm = timeOrYear.mid(colon + 1);
    if (colon < 1 || colon > 2 || mm.size() != 2 || !allDigits(hh) || !allDigits(mm))
        return {};
    const QTime t(hh.toInt(), mm.toInt());
    if (!t.isValid())
        return {};
    int year = now.date().year();
    QDateTime when(QDate(year, month, day), t, Qt::UTC);
    if (when > now.addDays(1))
        when = QDateTime(QDate(year - 1, month, day), t, Qt::UTC);
    return when;
}

QDateTime mlsdTime(const QByteArray &value)
{
    const QString s = QString::fromLatin1(value.left(14));
    QDateTime t = QDateTime::fromString(s, QStringLiteral("yyyyMMddHHmmss"));
    t.setTimeSpec(Qt::UTC);
    return t;
}

// A size that is not a valid number stays unknown, never wrapped or invented.
void assignSize(ListedEntry &e, std::optional<quint64> size)
{
    e.sizeKnown = size.has_value();
    e.size = size.value_or(0);
}

void applyMlsdType(ListedEntry &e, const QByteArray &value, bool &skip)
{
    const QByteArray type = value.toLower();
    if (type == "cdir" || type == "pdir")
        skip = true;
    else if (type == "dir")
        e.kind = ListedEntry::Kind::Directory;
    // Pure-FTPd: "OS.unix=slink:TARGET"; ProFTPD: "OS.unix=symlink".
    else if (type.startsWith("os.unix=slink") || type.startsWith("os.unix=symlink"))
        e.kind = ListedEntry::Kind::Link;
}
} // namespace

std::optional<quint64> ListingParser::parseSize(const QByteArray &digits)
{
    if (!allDigits(digits) || digits.size() > 20)
        return std::nullopt;
    bool ok = false;
    const quint64 v = digits.toULongLong(&ok);
    return ok ? std::optional<quint64>(v) : std::nullopt;
}

bool ListingParser::isNoise(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    return t.isEmpty() || t.startsWith("total ") || t == "total";
}

std::optional<ListedEntry> ListingParser::parse(const QByteArray &line) const
{
    if (m_format == Format::Mlsd)
        return parseMlsd(line);
    if (line.startsWith('+'))
        return parseEplf(line);
    if (!line.isEmpty() && line[0] >= '0' && line[0] <= '9')
        return parseWindows(line);
    return parseUnix(line);
}

std::optional<ListedEntry> ListingParser::parseMlsd(const QByteArray &line)
{
    ListedEntry e;
    bool skip = false;
    qsizetype pos = 0;
    // Facts are "name=value;" up to the single space before the name; a value
    // may hold spaces (a link target), never a ";".
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
            applyMlsdType(e, value, skip);
        else if (key == "size" || key == "sizd")
            assignSize(e, ListingParser::parseSize(value));
        else if (key == "modify")
            e.modified = mlsdTime(value);
        else if (key == "unique")
            e.unique = value;
        pos = semi + 1;
    }
    e.name = line.mid(pos + 1);
    if (pos >= line.size() || e.name.isEmpty() || skip || isDotName(e.name))
        return std::nullopt;
    return e;
}

std::optional<ListedEntry> ListingParser::parseUnix(const QByteArray &line) const
{
    const QList<Token> tok = tokenize(line);
    if (tok.size() < 6)
        return std::nullopt;
    auto text = [&](int i) { return line.mid(tok[i].begin, tok[i].end - tok[i].begin); };
    const QByteArray perms = text(0);
    if (perms.size() < 10)
        return std::nullopt;
    // The size stands just before the month; owner and group columns vary.
    for (int m = 2; m + 2 < tok.size(); ++m) {
        const int month = monthNumber(text(m));
        const int day = text(m + 1).toInt();
        if (month == 0 || day < 1 || day > 31)
            continue;
        ListedEntry e;
        assignSize(e, parseSize(text(m - 1)));
        e.modified = unixDate(month, day, text(m + 2), m_now);
        if (tok[m + 2].end + 1 > line.size() - 1)
            return std::nullopt;
        e.name = line.mid(tok[m + 2].end + 1);
        if (perms[0] == 'd') {
            e.kind = ListedEntry::Kind::Directory;
        } else if (perms[0] == 'l') {
            // Only link lines carry a target; a file may be named "a -> b".
            e.kind = ListedEntry::Kind::Link;
            const qsizetype arrow = e.name.indexOf(" -> ");
            if (arrow >= 0)
                e.name.truncate(arrow);
        }
        if (e.name.isEmpty() || isDotName(e.name))
            return std::nullopt;
        return e;
    }
    return std::nullopt;
}

std::optional<ListedEntry> ListingParser::parseWindows(const QByteArray &line)
{
    // IIS: "12-07-20  10:00PM       <DIR>          name" or with a size,
    // 12- or 24-hour times, two- or four-digit years.
    const QList<Token> tok = tokenize(line);
    if (tok.size() < 4)
        return std::nullopt;
    auto text = [&](int i) { return line.mid(tok[i].begin, tok[i].end - tok[i].begin); };
    const QString date = QString::fromLatin1(text(0)).replace(u'/', u'-');
    const QStringList dmy = date.split(u'-');
    if (dmy.size() != 3)
        return std::nullopt;
    int year = dmy[2].toInt();
    if (dmy[2].size() == 2)
        year += year < 70 ? 2000 : 1900;
    const QDate d(year, dmy[0].toInt(), dmy[1].toInt());
    QString timeText = QString::fromLatin1(text(1)).toUpper();
    QTime t = timeText.endsWith(u'M') ? QTime::fromString(timeText, QStringLiteral("h:mmAP"))
                                      : QTime::fromString(timeText, QStringLiteral("H:mm"));
    if (!d.isValid() || !t.isValid())
        return std::nullopt;
    ListedEntry e;
    e.modified = QDateTime(d, t, Qt::UTC);
    const QByteArray third = text(2);
    if (third.toUpper() == "<DIR>") {
        e.kind = ListedEntry::Kind::Directory;
    } else {
        assignSize(e, parseSize(third));
    }
    e.name = line.mid(tok[3].begin);
    if (isDotName(e.name))
        return std::nullopt;
    return e;
}

std::optional<ListedEntry> ListingParser::parseEplf(const QByteArray &line)
{
    const qsizetype tab = line.indexOf('\t');
    if (tab < 0 || tab + 1 >= line.size())
        return std::nullopt;
    ListedEntry e;
    for (const QByteArray &fact : line.mid(1, tab - 1).split(',')) {
        if (fact == "/")
            e.kind = ListedEntry::Kind::Directory;
        else if (fact.startsWith('s'))
            assignSize(e, parseSize(fact.mid(1)));
        else if (fact.startsWith('m') && allDigits(fact.mid(1)))
            e.modified = QDateTime::fromSecsSinceEpoch(fact.mid(1).toLongLong(), Qt::UTC);
        else if (fact.startsWith('i'))
            e.unique = fact.mid(1);
    }
    e.name = line.mid(tab + 1);
    if (isDotName(e.name))
        return std::nullopt;
    return e;
}
