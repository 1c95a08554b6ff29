#pragma once
#include "ListingFields.h"
#include "core/base/ListedTime.h"

#include <QDateTime>

// Dates as listings print them. A date whose shape is read but whose value is
// impossible (30 Feb) still places the name; its time stays invalid and the
// entry is stored with time 0.
class ListingDate
{
public:
    struct Read
    {
        QDateTime when;     // UTC where the line says so, else the server's clock
        qsizetype next = -1; // the field after the date; -1 when no date stands there
        // To the day where the line gives no time, to the minute where it
        // gives no seconds.
        TimePrecision precision = TimePrecision::Exact;
        bool onServerClock = true; // false: the line gave its zone
        bool found() const { return next >= 0; }
    };

    // Any of the forms ls prints, starting at field i: "Dec 8 22:18",
    // "8 Dez 2020", "12月 8日 22:18", "3 29 03:26", "2005-06-07 21:22",
    // "2005-06-07 21:22:33.000000000 +0200", "01-jun-99".
    static Read unixAt(const ListingFields &f, qsizetype i, const QDateTime &now);

    // 1..12 for a month name or abbreviation in one of the languages servers
    // are set to, in UTF-8, cp1251 or latin1; 0 otherwise.
    static int monthName(const QByteArray &word);
    // "22:18", "9:05", "10:30:13.64", "10:00PM"; invalid otherwise.
    static QTime time(const QByteArray &text);
    // "12-07-20", "2020-12-07", "12/07/2020", "04-23-103"; order names the
    // parts' order for the ambiguous ones ("MDY" or "DMY" or "YMD").
    static QDate numericDate(const QByteArray &text, const char *order);
    // Two-digit years as the listing's era reads them; three digits count
    // from 1900 (OS/2 prints 103 for 2003).
    static int fullYear(int year);
    // 1900 to 2199: a four-digit number outside is no file's year.
    static bool plausibleYear(int year);
    // A word that reads as a date, a time or a size ("10:57", "255,",
    // "2003/03/12", "9,730"): a name whose first word is one, right after
    // the columns, is a column the reader misplaced.
    static bool mayBeColumn(const QByteArray &word);
    // No year given: the date is within the last year, as ls prints it.
    static QDateTime yearless(int month, int day, QTime t, const QDateTime &now);

private:
    static Read unixDate(const ListingFields &f, qsizetype i, const QDateTime &now);
    static Read withForm(const ListingFields &f, qsizetype i, Read r);
};
