#include "ListingDate.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <optional>

namespace {
const char *const Year[] = {"\xE5\xB9\xB4", "\xEB\x85\x84"};  // 年, 년
const char *const Month[] = {"\xE6\x9C\x88", "\xEC\x9B\x94"}; // 月, 월
const char *const Day[] = {"\xE6\x97\xA5", "\xEC\x9D\xBC"};   // 日, 일

// Abbreviations, lower case; a word names the month when it starts with one
// of them (so "Juli", "janv." and "października" are read too). English,
// German, French, Spanish, Italian, Dutch, Swedish, Polish, Russian.
const QStringList &monthStems(int m)
{
    static const QList<QStringList> stems = {
        {"jan", "ene", "gen", "sty", "янв"},
        {"feb", "fév", "lut", "фев"},
        {"mar", "mär", "mrz", "mrt", "мар"},
        {"apr", "avr", "abr", "kwi", "апр"},
        {"may", "mai", "mag", "mei", "maj", "май", "мая"},
        {"jun", "juin", "giu", "cze", "июн"},
        {"jul", "juil", "lug", "lip", "июл"},
        {"aug", "aoû", "ago", "sie", "авг"},
        {"sep", "set", "wrz", "сен"},
        {"oct", "okt", "ott", "paź", "paz", "окт"},
        {"nov", "lis", "ноя"},
        {"dec", "dez", "déc", "dic", "gru", "дек"},
    };
    return stems[m];
}

// cp1251 letters А..я sit at 0xC0..0xFF; Ё/ё at 0xA8/0xB8.
QString fromCp1251(const QByteArray &bytes)
{
    QString s;
    for (char ch : bytes) {
        const uchar c = uchar(ch);
        if (c >= 0xC0)
            s += QChar(0x0410 + (c - 0xC0));
        else if (c == 0xA8 || c == 0xB8)
            s += QChar(c == 0xA8 ? 0x0401 : 0x0451);
        else
            s += QChar(c);
    }
    return s;
}

int stemMonth(const QString &word)
{
    if (word.size() < 3 || word.size() > 12)
        return 0;
    for (QChar c : word) {
        if (!c.isLetter())
            return 0;
    }
    for (int m = 0; m < 12; ++m) {
        for (const QString &stem : monthStems(m)) {
            if (word.startsWith(stem))
                return m + 1;
        }
    }
    return 0;
}

// Strips one of the CJK markers; true when it was there.
bool chopMarker(QByteArray &text, const char *const (&markers)[2])
{
    for (const char *m : markers) {
        if (text.endsWith(m)) {
            text.chop(qsizetype(qstrlen(m)));
            return true;
        }
    }
    return false;
}

// "12月" or "12월", and plain "12" where numeric months are allowed.
int monthAt(QByteArray text, bool numeric)
{
    if (text.endsWith(',')) // "26. Juli, 20:10"
        text.chop(1);
    if (chopMarker(text, Month) || (numeric && ListingFields::allDigits(text))) {
        const int m = ListingFields::number(text);
        return m >= 1 && m <= 12 ? m : 0;
    }
    return ListingDate::monthName(text);
}

int dayAt(QByteArray text)
{
    if (text.endsWith(',')) // "Oct 08, 2002"
        text.chop(1);
    if (!chopMarker(text, Day) && text.endsWith('.'))
        text.chop(1);
    const int d = ListingFields::number(text);
    return d >= 1 && d <= 31 && text.size() <= 2 ? d : 0;
}

// Four digits in the years files are dated with: "4096" after a day is a
// size the reader met too early, not a year.
int yearAt(QByteArray text)
{
    chopMarker(text, Year);
    const int year = text.size() == 4 ? ListingFields::number(text) : -1;
    return ListingDate::plausibleYear(year) ? year : -1;
}

// The third part of "Mon DD x": a time (year inferred) or a year.
ListingDate::Read timeOrYear(const ListingFields &f, qsizetype i, int month, int day, const QDateTime &now)
{
    ListingDate::Read r;
    const QByteArray text = f[i];
    if (const int year = yearAt(text); year >= 0) {
        r.when = QDateTime(QDate(year, month, day), QTime(0, 0), Qt::UTC);
        r.next = i + 1;
        return r;
    }
    const QTime t = ListingDate::time(text);
    if (!t.isValid() || text.contains('M') || text.contains('m'))
        return r;
    r.when = ListingDate::yearless(month, day, t, now);
    r.next = i + 1;
    return r;
}

// "Oct 08, 2002 09:47": after a comma the year may be followed by a time.
// Only then: "Jan 1 2000 10:00 x" is a file named "10:00 x".
ListingDate::Read commaTime(const ListingFields &f, ListingDate::Read r, bool comma)
{
    if (!comma || !r.found() || f.length(r.next - 1) != 4)
        return r;
    const QTime t = ListingDate::time(f[r.next]);
    if (t.isValid() && r.when.isValid()) {
        r.when.setTime(t);
        ++r.next;
    }
    return r;
}

// ls --time-style=full-iso ends with the zone: "+0200".
bool zoneOffset(const QByteArray &text, int &seconds)
{
    if (text.size() != 5 || (text[0] != '+' && text[0] != '-') || !ListingFields::allDigits(text.mid(1)))
        return false;
    seconds = (text.mid(1, 2).toInt() * 3600 + text.mid(3, 2).toInt() * 60) * (text[0] == '-' ? -1 : 1);
    return true;
}

ListingDate::Read isoAt(const ListingFields &f, qsizetype i)
{
    ListingDate::Read r;
    if (f.length(i) != 10)
        return r;
    const QByteArray text = f[i];
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return r;
    const QDate d = ListingDate::numericDate(text, "YMD");
    if (ListingFields::number(text.left(4)) < 0)
        return r;
    r.next = i + 1;
    const QTime t = ListingDate::time(f[i + 1]);
    if (!t.isValid()) {
        r.when = QDateTime(d, QTime(0, 0), Qt::UTC);
        return r;
    }
    r.next = i + 2;
    r.when = QDateTime(d, t, Qt::UTC);
    int offset = 0;
    if (zoneOffset(f[i + 2], offset)) {
        r.next = i + 3;
        r.when = r.when.addSecs(-offset);
    }
    return r;
}

// "01-jun-99", optionally followed by a time.
ListingDate::Read dashedAt(const ListingFields &f, qsizetype i)
{
    ListingDate::Read r;
    if (f.length(i) < 7)
        return r;
    const QByteArray text = f[i];
    if (text.count('-') != 2)
        return r;
    const QList<QByteArray> parts = text.split('-');
    if (parts.size() != 3)
        return r;
    const int day = dayAt(parts[0]);
    const int month = ListingDate::monthName(parts[1]);
    const int year = ListingFields::number(parts[2]);
    if (day == 0 || month == 0 || year < 0 || (parts[2].size() != 2 && parts[2].size() != 4))
        return r;
    QTime t = ListingDate::time(f[i + 1]);
    r.next = t.isValid() ? i + 2 : i + 1;
    r.when = QDateTime(QDate(ListingDate::fullYear(year), month, day), t.isValid() ? t : QTime(0, 0), Qt::UTC);
    return r;
}

// "2011年 6月 12日" and what may follow it.
ListingDate::Read yearFirstAt(const ListingFields &f, qsizetype i)
{
    ListingDate::Read r;
    if (f.length(i) != 7) // four digits and a three-byte 年 or 년
        return r;
    QByteArray y = f[i];
    if (!chopMarker(y, Year) || y.size() != 4)
        return r;
    const int month = monthAt(f[i + 1], false);
    const int day = dayAt(f[i + 2]);
    if (month == 0 || day == 0 || ListingFields::number(y) < 0)
        return r;
    const QTime t = ListingDate::time(f[i + 3]);
    r.next = t.isValid() ? i + 4 : i + 3;
    r.when = QDateTime(QDate(y.toInt(), month, day), t.isValid() ? t : QTime(0, 0), Qt::UTC);
    return r;
}

// The parts of "1999/10/12", "24-04-2003", "2004.07.15" or "09-26": one
// separator throughout, digits between. Two parts only with "-" or "/":
// "1.5" is a size.
QList<QByteArray> numericParts(const QByteArray &text)
{
    const char sep = text.contains('-') ? '-' : text.contains('/') ? '/' : '.';
    const QList<QByteArray> parts = text.split(sep);
    if (parts.size() < 2 || parts.size() > 3 || (parts.size() == 2 && sep == '.'))
        return {};
    for (const QByteArray &p : parts) {
        if (!ListingFields::allDigits(p) || p.size() > 4)
            return {};
    }
    return parts;
}

// Year first, or last with the day and month told apart by a part above
// 12. "04-05-2003" could be either: the date's place is known but not its
// value, so the entry is kept with no time rather than a guess. Any other
// shape is no date at all.
std::optional<QDate> threePartDate(const QList<QByteArray> &p)
{
    const bool yearFirst = p[0].size() == 4 && p[1].size() <= 2 && p[2].size() <= 2;
    const bool yearLast = p[2].size() == 4 && p[0].size() <= 2 && p[1].size() <= 2;
    const int year = (yearFirst ? p[0] : p[2]).toInt();
    if ((!yearFirst && !yearLast) || !ListingDate::plausibleYear(year))
        return std::nullopt;
    if (yearFirst)
        return QDate(year, p[1].toInt(), p[2].toInt());
    const int a = p[0].toInt(), b = p[1].toInt();
    if (a > 12)
        return QDate(year, b, a);
    if (b > 12 || a == b)
        return QDate(year, a, b);
    return QDate();
}

// Dates in digits other than ISO's: "1999/10/12", "24-04-2003",
// "2004.07.15" (maybe with a time), and "09-26 13:45", month and day with a
// time and no year. A two-part date needs its time: "09-26 2000" could be a
// year or the start of a name.
ListingDate::Read numericAt(const ListingFields &f, qsizetype i, const QDateTime &now)
{
    ListingDate::Read r;
    const QList<QByteArray> parts = numericParts(f[i]);
    const QTime t = ListingDate::time(f[i + 1]);
    if (parts.size() == 2) {
        const int month = parts[0].toInt(), day = parts[1].toInt();
        if (!t.isValid() || parts[0].size() > 2 || parts[1].size() > 2 || month < 1 || month > 12 || day < 1
            || day > 31)
            return r;
        r.when = ListingDate::yearless(month, day, t, now);
        r.next = i + 2;
        return r;
    }
    if (parts.size() != 3)
        return r;
    const std::optional<QDate> d = threePartDate(parts);
    if (!d)
        return r;
    r.next = t.isValid() ? i + 2 : i + 1;
    r.when = QDateTime(*d, t.isValid() ? t : QTime(0, 0), Qt::UTC);
    return r;
}

// Most servers print English; this path costs no decoding.
int englishMonth(const QByteArray &w)
{
    static const char names[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    if (w.size() != 3)
        return 0;
    const char lower[3] = {char(w[0] | 0x20), char(w[1] | 0x20), char(w[2] | 0x20)};
    for (int m = 0; m < 12; ++m) {
        if (std::memcmp(names + 3 * m, lower, 3) == 0)
            return m + 1;
    }
    return 0;
}
} // namespace

int ListingDate::monthName(const QByteArray &word)
{
    if (const int m = englishMonth(word))
        return m;
    QByteArray w = word;
    if (w.endsWith('.'))
        w.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(w);
    if (!utf8.hasError())
        return stemMonth(asUtf8.toLower());
    if (const int m = stemMonth(fromCp1251(w).toLower()))
        return m;
    return stemMonth(QString::fromLatin1(w).toLower());
}

QTime ListingDate::time(const QByteArray &text)
{
    QByteArray t = text.toUpper();
    const bool twelveHour = t.endsWith("AM") || t.endsWith("PM");
    const bool pm = t.endsWith("PM");
    if (twelveHour)
        t.chop(2);
    const QList<QByteArray> parts = t.split(':');
    if (parts.size() < 2 || parts.size() > 3 || parts[0].size() > 2 || parts[1].size() != 2)
        return {};
    // Seconds may carry hundredths: VMS prints "10:30:13.64".
    const QByteArray sec = parts.size() == 3 ? parts[2] : QByteArray("00");
    if (sec.size() > 2 && sec[2] != '.')
        return {};
    int h = ListingFields::number(parts[0]);
    const int m = ListingFields::number(parts[1]);
    const int s = ListingFields::number(sec.left(2));
    if (h < 0 || m < 0 || s < 0 || (twelveHour && (h < 1 || h > 12)))
        return {};
    if (twelveHour)
        h = h % 12 + (pm ? 12 : 0);
    return QTime(h, m, s);
}

QDate ListingDate::numericDate(const QByteArray &text, const char *order)
{
    QByteArray t = text;
    t.replace('/', '-').replace('.', '-');
    const QList<QByteArray> parts = t.split('-');
    if (parts.size() != 3)
        return {};
    int y = 0, m = 0, d = 0;
    for (int k = 0; k < 3; ++k) {
        const int v = ListingFields::number(parts[k]);
        if (v < 0 || parts[k].size() > 4)
            return {};
        (order[k] == 'Y' ? y : order[k] == 'M' ? m : d) = v;
    }
    return QDate(fullYear(y), m, d);
}

bool ListingDate::plausibleYear(int year)
{
    return year >= 1900 && year < 2200;
}

bool ListingDate::mayBeColumn(const QByteArray &word)
{
    int offset = 0;
    if (zoneOffset(word, offset))
        return true;
    if (word.isEmpty() || word[0] < '0' || word[0] > '9')
        return false;
    if (ListingFields::size(word) || time(word).isValid())
        return true;
    // "255," "04-23-103" "14-DEC-1999" "2003/03/12": digits and date
    // separators, or a day, a month name and a year.
    const bool separated = std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == '/' || c == '.' || c == ',' || c == ':';
    });
    if (separated)
        return true;
    const QList<QByteArray> parts = word.split('-');
    return parts.size() == 3 && ListingFields::allDigits(parts[0]) && monthName(parts[1]) != 0;
}

int ListingDate::fullYear(int year)
{
    if (year < 100)
        return year + (year < 70 ? 2000 : 1900);
    if (year < 1000)
        return year + 1900;
    return year;
}

QDateTime ListingDate::yearless(int month, int day, QTime t, const QDateTime &now)
{
    const int year = now.date().year();
    QDateTime when(QDate(year, month, day), t, Qt::UTC);
    // Tomorrow's date is still this year: server clocks run ahead of ours.
    if (!when.isValid() || when > now.addDays(1))
        when = QDateTime(QDate(year - 1, month, day), t, Qt::UTC);
    return when;
}

ListingDate::Read ListingDate::unixAt(const ListingFields &f, qsizetype i, const QDateTime &now)
{
    return withForm(f, i, unixDate(f, i, now));
}

// What the fields a date took say of it: a time with seconds, one without,
// or none; a zone.
ListingDate::Read ListingDate::withForm(const ListingFields &f, qsizetype i, Read r)
{
    r.precision = TimePrecision::Day;
    for (qsizetype k = i; k >= 0 && k < r.next; ++k) {
        int offset = 0;
        if (zoneOffset(f[k], offset))
            r.onServerClock = false;
        else if (const QByteArray t = f[k]; time(t).isValid())
            r.precision = t.count(':') == 2 ? TimePrecision::Exact : TimePrecision::Minute;
    }
    return r;
}

ListingDate::Read ListingDate::unixDate(const ListingFields &f, qsizetype i, const QDateTime &now)
{
    if (i < 0 || i >= f.count())
        return {};
    for (auto form : {isoAt, dashedAt, yearFirstAt}) {
        if (Read r = form(f, i); r.found())
            return r;
    }
    if (Read r = numericAt(f, i, now); r.found())
        return r;
    if (const int month = monthAt(f[i], true)) {
        if (const int day = dayAt(f[i + 1]))
            return commaTime(f, timeOrYear(f, i + 2, month, day, now), f[i + 1].endsWith(','));
    }
    // Day before month: "8 Dez 22:18", "8. März 2020".
    if (const int day = dayAt(f[i])) {
        if (const int month = monthAt(f[i + 1], false))
            return timeOrYear(f, i + 2, month, day, now);
    }
    return {};
}
