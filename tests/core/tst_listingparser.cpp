#include "core/ftp/ListingFields.h"
#include "core/ftp/ListingParser.h"

#include <QFile>
#include <QtTest>

// Each family's listing lies in tests/data/listings/<family>.txt, and beside
// it <family>.expected says, line for line, what that line is: an entry
// "name|kind|size|time" (size "?" unknown, time "0" for none), "noise",
// "unreadable", or "+" where an entry goes on over the next line. Every
// family's table is made of those rows; the same files are read whole too.
using Family = ListingParser::Family;

class tst_ListingParser : public QObject
{
    Q_OBJECT
private slots:
    void unixEnglish_data() { addRows("unix-english"); }
    void unixEnglish() { checkRow(); }
    void unixLocalized_data() { addRows("unix-localized"); }
    void unixLocalized() { checkRow(); }
    void unixDates_data() { addRows("unix-dates"); }
    void unixDates() { checkRow(); }
    void unixSizes_data() { addRows("unix-sizes"); }
    void unixSizes() { checkRow(); }
    void unixPunctuated_data() { addRows("unix-punctuated"); }
    void unixPunctuated() { checkRow(); }
    void unixNumericMode_data() { addRows("unix-numeric-mode"); }
    void unixNumericMode() { checkRow(); }
    // Owners and groups with blanks, mode bits without a type letter, type
    // letters ls does not print.
    void unixOwners_data() { addRows("unix-owners"); }
    void unixOwners() { checkRow(); }
    // Day and month that could be either are read in part, never guessed.
    void unixNumericDates_data() { addRows("unix-numeric-dates"); }
    void unixNumericDates() { checkRow(); }
    void connectEnterprise_data() { addRows("connect-enterprise"); }
    void connectEnterprise() { checkRow(); }
    // LIST as vsftpd and pyftpdlib sent it over a tree made for the purpose:
    // odd names, old, recent and future dates, sizes past 4 GiB, links.
    void vsftpd_data() { addRows("vsftpd"); }
    void vsftpd() { checkRow(); }
    void pyftpdlib_data() { addRows("pyftpdlib"); }
    void pyftpdlib() { checkRow(); }
    void netware_data() { addRows("netware"); }
    void netware() { checkRow(); }
    void dosIis_data() { addRows("iis", Family::WindowsNt); }
    void dosIis() { checkRow(); }
    void os2_data() { addRows("os2"); }
    void os2() { checkRow(); }
    void vxWorks_data() { addRows("vxworks"); }
    void vxWorks() { checkRow(); }
    void os9_data() { addRows("os9"); }
    void os9() { checkRow(); }
    void vshell_data() { addRows("vshell"); }
    void vshell() { checkRow(); }
    void factsAsList_data() { addRows("facts-as-list"); }
    void factsAsList() { checkRow(); }
    void vms_data() { addRows("vms", Family::Vms); }
    void vms() { checkRow(); }
    void mvsDataSets_data() { addRows("mvs-datasets", Family::Mvs); }
    void mvsDataSets() { checkRow(); }
    void mvsMembers_data() { addRows("mvs-members", Family::Mvs); }
    void mvsMembers() { checkRow(); }
    void zvm_data() { addRows("zvm"); }
    void zvm() { checkRow(); }
    void os400_data() { addRows("os400", Family::Os400); }
    void os400() { checkRow(); }
    void nonStop_data() { addRows("nonstop"); }
    void nonStop() { checkRow(); }
    // Lines whose date or columns no reader knows: never an entry whose name
    // holds another field.
    void unread_data() { addRows("unread"); }
    void unread() { checkRow(); }
    void mvsUnread_data() { addRows("mvs-unread", Family::Mvs); }
    void mvsUnread() { checkRow(); }
    void partialLinesAreCounted();

    void wholeListingsWithoutSyst_data();
    void wholeListingsWithoutSyst();
    void capturedListings_data();
    void capturedListings();
    void unreadableLinesAreCountedAndSampled();
    void mlsdLines_data();
    void mlsdLines();
    void timesKeepTheirPrecision_data();
    void timesKeepTheirPrecision();
    void systChoosesFamily_data();
    void systChoosesFamily();
    void sizes_data();
    void sizes();
    void timesOutsideFileTimeStoreZero_data();
    void timesOutsideFileTimeStoreZero();
    void anyBytesNeverCrash();

private:
    static void addRows(const QString &family, Family hint = Family::Any);
    static void checkRow();
};

namespace {
const QDateTime Now(QDate(2026, 12, 8), QTime(23, 0), Qt::UTC);

QByteArrayList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QByteArrayList lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &l : lines) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return lines;
}

QString listingPath(const QString &family, const char *suffix)
{
    return QStringLiteral(HARVEX_TEST_DATA "/listings/") + family + QLatin1String(suffix);
}

QString kindName(ListedEntry::Kind k)
{
    switch (k) {
    case ListedEntry::Kind::Directory: return "dir";
    case ListedEntry::Kind::Link: return "link";
    case ListedEntry::Kind::LinkToDirectory: return "linkdir";
    case ListedEntry::Kind::File: break;
    }
    return "file";
}

QString timeText(const ListedEntry &e)
{
    if (e.fileTime() == 0)
        return "0";
    return e.modified.toUTC().toString("yyyy-MM-ddTHH:mm:ss");
}

// The same "name|kind|size|time" the expected files hold.
QByteArray describe(const ListedEntry &e)
{
    return e.name + '|' + kindName(e.kind).toLatin1() + '|'
        + (e.sizeKnown ? QByteArray::number(e.size) : QByteArray("?")) + '|' + timeText(e).toLatin1()
        + (e.partial ? "|part" : "");
}

QByteArray verdictOf(const ListingParser::Line &l)
{
    switch (l.kind) {
    case ListingParser::Line::Kind::Entry: return describe(l.entry);
    case ListingParser::Line::Kind::Noise: return "noise";
    case ListingParser::Line::Kind::Unreadable: break;
    }
    return "unreadable";
}
} // namespace

void tst_ListingParser::addRows(const QString &family, Family hint)
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("hint");
    QTest::addColumn<QByteArray>("expected");
    const QByteArrayList lines = linesOf(listingPath(family, ".txt"));
    const QByteArrayList expected = linesOf(listingPath(family, ".expected"));
    QCOMPARE(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (expected[i] == "+")
            continue; // read with the next line
        QByteArray line = lines[i];
        if (i > 0 && expected[i - 1] == "+")
            line = lines[i - 1] + '\n' + line;
        QTest::addRow("%s:%d", qPrintable(family), int(i + 1)) << line << int(hint) << expected[i];
    }
}

void tst_ListingParser::checkRow()
{
    QFETCH(QByteArray, line);
    QFETCH(int, hint);
    QFETCH(QByteArray, expected);
    const ListingParser parser(ListingParser::Format::List, Family(hint), Now);
    if (line.contains('\n')) {
        // A wrapped entry: read as FtpSession reads a listing.
        const ListingParser::Parsed p = parser.parseListing(line.split('\n'));
        QCOMPARE(p.entries.size(), 1);
        QCOMPARE(describe(p.entries.first()), expected);
        return;
    }
    QCOMPARE(verdictOf(parser.classify(line)), expected);
}

// Families that need no SYST hint read the same whole; wrapped VMS entries
// are joined. MVS members are bare names and need the hint.
void tst_ListingParser::wholeListingsWithoutSyst_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("hint");
    for (const char *f : {"unix-english", "unix-localized", "unix-dates", "unix-sizes", "unix-punctuated",
                          "unix-numeric-mode", "unix-owners", "unix-numeric-dates", "connect-enterprise", "vsftpd",
                          "pyftpdlib", "netware", "iis", "os2", "vxworks", "os9", "vshell", "facts-as-list", "vms",
                          "mvs-datasets", "zvm", "os400", "nonstop", "unread", "mvs-unread"})
        QTest::newRow(f) << QString(f) << int(Family::Any);
    QTest::newRow("mvs-members") << "mvs-members" << int(Family::Mvs);
}

void tst_ListingParser::wholeListingsWithoutSyst()
{
    QFETCH(QString, family);
    QFETCH(int, hint);
    QByteArrayList expectedEntries;
    int expectedUnreadable = 0;
    for (const QByteArray &row : linesOf(listingPath(family, ".expected"))) {
        if (row == "unreadable")
            ++expectedUnreadable;
        else if (row != "noise" && row != "+")
            expectedEntries << row;
    }
    const ListingParser parser(ListingParser::Format::List, Family(hint), Now);
    QByteArrayList raw = linesOf(listingPath(family, ".txt"));
    for (QByteArray &l : raw)
        l += '\r'; // as servers send them
    const ListingParser::Parsed p = parser.parseListing(raw);
    QByteArrayList got;
    for (const ListedEntry &e : p.entries)
        got << describe(e);
    QCOMPARE(got, expectedEntries);
    QCOMPARE(p.unreadable, expectedUnreadable);
}

// Listings captured from servers run here: name|kind|size per entry.
void tst_ListingParser::capturedListings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("mlsd");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("unreadable");
    QTest::newRow("vsftpd LIST -a") << "vsftpd-list-a.txt" << false
        << QStringList{".hidden|file|2", "linkdir|link|3", "linkfile|link|10", "pub|dir|4096",
                       "readme.txt|file|3", "with space|dir|4096", QString::fromUtf8("Кириллица|dir|4096"),
                       "a -> b.txt|file|2", "big.iso|file|5368709120", "docs|dir|4096", "old.txt|file|0"}
        << 0;
    QTest::newRow("pyftpdlib MLSD") << "pyftpdlib-mlsd.txt" << true
        << QStringList{"readme.txt|file|3", ".hidden|file|2", QString::fromUtf8("Кириллица|dir|4096"),
                       "linkfile|file|3", "with space|dir|4096", "pub|dir|4096", "linkdir|dir|4096",
                       "big.iso|file|5368709120", "a -> b.txt|file|2", "old.txt|file|0", "docs|dir|4096"}
        << 0;
    QTest::newRow("Pure-FTPd MLSD") << "pureftpd-mlsd.txt" << true
        << QStringList{"data.bin|file|1048576", "incoming|dir|?", "shortcut|link|?"} << 0;
    QTest::newRow("ProFTPD MLSD") << "proftpd-mlsd.txt" << true
        << QStringList{"notes.txt|file|12", "latest|link|7"} << 0;
    QTest::newRow("IIS") << "iis-list.txt" << false
        << QStringList{"Program Files|dir|?", "setup.exe|file|1234567", "report 2000.txt|file|42"} << 0;
    QTest::newRow("EPLF") << "eplf-list.txt" << false
        << QStringList{"500 Stuff|dir|?", "RFCEPLF|file|10376"} << 0;
    QTest::newRow("malformed") << "malformed-list.txt" << false
        << QStringList{"badsize.txt|file|?", "toobig.txt|file|?"} << 4;
}

void tst_ListingParser::capturedListings()
{
    QFETCH(QString, file);
    QFETCH(bool, mlsd);
    QFETCH(QStringList, expected);
    QFETCH(int, unreadable);
    const ListingParser parser(mlsd ? ListingParser::Format::Mlsd : ListingParser::Format::List, Family::Any, Now);
    const ListingParser::Parsed p = parser.parseListing(linesOf(QStringLiteral(HARVEX_TEST_DATA "/") + file));
    QStringList got;
    for (const ListedEntry &e : p.entries)
        got << QStringLiteral("%1|%2|%3").arg(QString::fromUtf8(e.name), kindName(e.kind),
                                               e.sizeKnown ? QString::number(e.size) : "?");
    QCOMPARE(got, expected);
    QCOMPARE(p.unreadable, unreadable);
}

void tst_ListingParser::unreadableLinesAreCountedAndSampled()
{
    const ListingParser parser(ListingParser::Format::List, Family::Any, Now);
    QByteArrayList lines{"total 3", "", "garbage one\r", "-rw-r--r-- 1 a b 1 Dec 08 22:18 ok", "garbage two",
                         "garbage three", "garbage four"};
    const ListingParser::Parsed p = parser.parseListing(lines);
    QCOMPARE(p.entries.size(), 1);
    QCOMPARE(p.unreadable, 4);
    QCOMPARE(p.samples, (QByteArrayList{"garbage one", "garbage two", "garbage three"}));
}

void tst_ListingParser::partialLinesAreCounted()
{
    const ListingParser parser(ListingParser::Format::List, Family::Any, Now);
    const ListingParser::Parsed p = parser.parseListing(
        {"-rw-r--r-- 1 a b 1 Feb 30 10:00 bad-date", "-rw-r--r-- 1 a b 9223372036854775808 Dec 08 22:18 huge",
         "-rw-r--r-- 1 a b 9223372036854775807 Dec 08 22:18 largest", "garbage",
         "-rw-r--r-- 1 a b 1 04-05-2003 day-or-month"});
    QCOMPARE(p.entries.size(), 4);
    QCOMPARE(p.partial, 3);
    QCOMPARE(p.unreadable, 1);
    QCOMPARE(p.entries[2].size, quint64(9223372036854775807));
}

// An MLSD line is facts, one space and the name: whatever the name looks
// like, it is a name, and only the folder's own lines are left out.
void tst_ListingParser::mlsdLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no facts, named like a total") << QByteArray(" total 12") << QByteArray("total 12|file|?|0");
    QTest::newRow("named like a VMS header") << QByteArray("type=file;size=3; Directory [x]")
                                              << QByteArray("Directory [x]|file|3|0");
    QTest::newRow("named like dashes") << QByteArray("type=file;size=1; ----------")
                                       << QByteArray("----------|file|1|0");
    QTest::newRow("blanks in the name") << QByteArray("type=file;size=1;  two  ") << QByteArray(" two  |file|1|0");
    QTest::newRow("the folder itself") << QByteArray("type=cdir;sizd=4096; .") << QByteArray("noise");
    QTest::newRow("its parent, upper case") << QByteArray("TYPE=PDIR;SIZD=4096; ..") << QByteArray("noise");
    QTest::newRow("a folder named cdir") << QByteArray("type=dir;sizd=4096; cdir") << QByteArray("cdir|dir|4096|0");
    QTest::newRow("blank line") << QByteArray(" \t ") << QByteArray("noise");
    QTest::newRow("largest size") << QByteArray("type=file;size=9223372036854775807; max")
                                  << QByteArray("max|file|9223372036854775807|0");
    QTest::newRow("size past 63 bits") << QByteArray("type=file;size=9223372036854775808; over")
                                       << QByteArray("over|file|?|0|part");
    QTest::newRow("size with a sign") << QByteArray("type=file;size=+5; signed")
                                      << QByteArray("signed|file|?|0|part");
    QTest::newRow("link to a folder") << QByteArray("type=OS.unix=slink:/srv/pub/; pub")
                                      << QByteArray("pub|linkdir|?|0");
    QTest::newRow("fact without \"=\"") << QByteArray("type=file;size; x") << QByteArray("unreadable");
    QTest::newRow("empty size") << QByteArray("type=file;size=; x") << QByteArray("x|file|?|0|part");
    QTest::newRow("no name") << QByteArray("type=file;size=1; ") << QByteArray("unreadable");
}

void tst_ListingParser::mlsdLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    const ListingParser parser(ListingParser::Format::Mlsd, Family::Any, Now);
    QCOMPARE(verdictOf(parser.classify(line)), expected);
}

// ls prints a recent file's minute and an older one's day, in the server's
// time; MLSD and full-iso with a zone say the second in UTC.
void tst_ListingParser::timesKeepTheirPrecision_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("mlsd");
    QTest::addColumn<int>("precision");
    QTest::addColumn<bool>("serverClock");
    using P = TimePrecision;
    QTest::newRow("recent") << QByteArray("-rw-r--r--   1 0  0  10 Dec 07 22:00 a") << false << int(P::Minute) << true;
    QTest::newRow("older") << QByteArray("-rw-r--r--   1 0  0  10 Mar  4  2020 a") << false << int(P::Day) << true;
    QTest::newRow("day first") << QByteArray("-rw-r--r--   1 0  0  10 8 Dez 2020 a") << false << int(P::Day) << true;
    QTest::newRow("long-iso") << QByteArray("-rw-r--r--   1 0  0  10 2005-06-07 21:22 a") << false << int(P::Minute)
                              << true;
    QTest::newRow("full-iso") << QByteArray("-rw-r--r-- 1 0 0 10 2005-06-07 21:22:33.000000000 +0200 a") << false
                              << int(P::Exact) << false;
    QTest::newRow("mlsd") << QByteArray("type=file;size=1;modify=20200304050607; a") << true << int(P::Exact) << false;
}

void tst_ListingParser::timesKeepTheirPrecision()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, mlsd);
    QFETCH(int, precision);
    QFETCH(bool, serverClock);
    const ListingParser parser(mlsd ? ListingParser::Format::Mlsd : ListingParser::Format::List, Family::Any, Now);
    const ListingParser::Parsed p = parser.parseListing({line});
    QCOMPARE(p.entries.size(), 1);
    QCOMPARE(p.entries[0].name, QByteArray("a"));
    QCOMPARE(int(p.entries[0].precision), precision);
    QCOMPARE(p.entries[0].onServerClock, serverClock);
}

void tst_ListingParser::systChoosesFamily_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("family");
    QTest::newRow("unix") << QByteArray("UNIX Type: L8") << int(Family::Any);
    QTest::newRow("vms") << QByteArray("VMS OpenVMS V8.4-2L1 on node ALPHA") << int(Family::Vms);
    QTest::newRow("mvs") << QByteArray("MVS is the operating system of this server. FTP Server is running on z/OS.")
                         << int(Family::Mvs);
    QTest::newRow("os400") << QByteArray("OS/400 is the remote operating system. The TCP/IP version is \"V7R3M0\".")
                           << int(Family::Os400);
    QTest::newRow("windows") << QByteArray("Windows_NT") << int(Family::WindowsNt);
    QTest::newRow("unix emulated on windows") << QByteArray("UNIX emulated by FileZilla") << int(Family::Any);
    QTest::newRow("z/VM is read by shape") << QByteArray("z/VM Version 7 Release 2") << int(Family::Any);
}

void tst_ListingParser::systChoosesFamily()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, family);
    QCOMPARE(int(ListingParser::familyFromSyst(reply)), family);
}

void tst_ListingParser::sizes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("bytes"); // -1: not a size
    QTest::newRow("plain") << QByteArray("4096") << qint64(4096);
    QTest::newRow("grouped comma") << QByteArray("1,234,567") << qint64(1234567);
    QTest::newRow("grouped apostrophe") << QByteArray("9'730") << qint64(9730);
    QTest::newRow("decimal is not grouping") << QByteArray("1.5") << qint64(-1);
    QTest::newRow("bad group") << QByteArray("12,34") << qint64(-1);
    QTest::newRow("kilo") << QByteArray("33.5k") << qint64(34304);
    QTest::newRow("kilo with B") << QByteArray("2KB") << qint64(2048);
    QTest::newRow("tera") << QByteArray("1T") << qint64(1099511627776);
    QTest::newRow("decimal comma suffix") << QByteArray("1,5K") << qint64(1536);
    QTest::newRow("unknown suffix") << QByteArray("12abc") << qint64(-1);
    QTest::newRow("overflowing suffix") << QByteArray("999999999999T") << qint64(-1);
    QTest::newRow("too long") << QByteArray(25, '9') << qint64(-1);
}

void tst_ListingParser::sizes()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, bytes);
    const std::optional<quint64> got = ListingFields::size(text);
    QCOMPARE(got ? qint64(*got) : qint64(-1), bytes);
}

// The catalogue keeps the count of 100 ns since 1601 as a double's bits.
void tst_ListingParser::timesOutsideFileTimeStoreZero_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<quint64>("fileTime");
    QTest::newRow("none") << QDateTime() << quint64(0);
    QTest::newRow("before 1601") << QDateTime(QDate(1600, 12, 31), QTime(0, 0), Qt::UTC) << quint64(0);
    QTest::newRow("1601") << QDateTime(QDate(1601, 1, 1), QTime(0, 0, 1), Qt::UTC) << quint64(10000000);
    QTest::newRow("1970") << QDateTime::fromSecsSinceEpoch(0, Qt::UTC) << quint64(116444736000000000ull);
    QTest::newRow("past what a double's bits hold") << QDateTime(QDate(30900, 1, 1), QTime(0, 0), Qt::UTC)
                                                    << quint64(0);
}

void tst_ListingParser::timesOutsideFileTimeStoreZero()
{
    QFETCH(QDateTime, when);
    QFETCH(quint64, fileTime);
    ListedEntry e;
    e.modified = when;
    QCOMPARE(e.fileTime(), fileTime);
    double asStored;
    const quint64 bits = e.fileTime();
    std::memcpy(&asStored, &bits, sizeof asStored);
    QVERIFY(!std::isnan(asStored));
}

void tst_ListingParser::anyBytesNeverCrash()
{
    QRandomGenerator rng(42);
    const QByteArray seeds[] = {"drwxr-xr-x 2 0 0 4096 Dec 07 22:00 x", "type=dir;size=1; x",
                                "12-07-20  10:00PM <DIR> x", "+/,\tx", "",
                                "A.DIR;1  1/3  2-JUL-2003 10:30:13.64 [S] (R)", "\xd0\xb4\xd0\xb5\xd0\xba 7 21:00 x"};
    constexpr int SeedCount = int(std::size(seeds));
    for (const Family family : {Family::Any, Family::Vms, Family::Mvs, Family::Os400, Family::WindowsNt}) {
        const ListingParser list(ListingParser::Format::List, family);
        const ListingParser mlsd(ListingParser::Format::Mlsd, family);
        for (int i = 0; i < 5000; ++i) {
            QByteArray line = seeds[i % SeedCount];
            for (int k = 0; k < 4; ++k) {
                const int at = line.isEmpty() ? 0 : int(rng.bounded(line.size()));
                line.insert(at, char(rng.bounded(256)));
                if (line.size() > 2 && rng.bounded(2))
                    line.remove(int(rng.bounded(line.size())), int(rng.bounded(3)));
            }
            for (const ListingParser *p : {&list, &mlsd}) {
                const ListingParser::Line l = p->classify(line);
                QVERIFY(l.kind != ListingParser::Line::Kind::Entry || !l.entry.name.isEmpty());
            }
        }
    }
}

QTEST_GUILESS_MAIN(tst_ListingParser)
#include "tst_listingparser.moc"
