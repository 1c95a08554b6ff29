#include "core/ftp/ListingParser.h"

#include <QFile>
#include <QtTest>

// Each captured listing file is parsed line by line; the rows name what must
// come out (name|kind|size or "?" for unknown), in order, and how many lines
// had to be skipped as unreadable.
class tst_ListingParser : public QObject
{
    Q_OBJECT
private slots:
    void capturedListings_data();
    void capturedListings();
    void unixDates_data();
    void unixDates();
    void anyBytesNeverCrash();
};

namespace {
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
} // namespace

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
    QFile f(QStringLiteral(HARVEX_TEST_DATA "/") + file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const ListingParser parser(mlsd ? ListingParser::Format::Mlsd : ListingParser::Format::List,
                               QDateTime(QDate(2026, 12, 8), QTime(23, 0), Qt::UTC));
    QStringList got;
    int bad = 0;
    for (QByteArray line : f.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const auto e = parser.parse(line);
        if (e)
            got << QStringLiteral("%1|%2|%3").arg(QString::fromUtf8(e->name), kindName(e->kind),
                                                   e->sizeKnown ? QString::number(e->size) : "?");
        else if (!ListingParser::isNoise(line) && !line.endsWith(" .") && !line.endsWith(" ..")
                 && !line.contains("dir;"))
            ++bad;
    }
    QCOMPARE(got, expected);
    QCOMPARE(bad, unreadable);
}

void tst_ListingParser::unixDates_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QDateTime>("when");
    const QByteArray prefix = "-rw-r--r--    1 0        0              10 ";
    QTest::newRow("this year") << prefix + "Dec 07 22:00 a" << QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);
    QTest::newRow("space-padded day") << prefix + "Dec  7 22:00 a" << QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);
    QTest::newRow("future means last year") << prefix + "Dec 20 10:00 a" << QDateTime(QDate(2025, 12, 20), QTime(10, 0), Qt::UTC);
    QTest::newRow("with year") << prefix + "Jan  1  2000 a" << QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
}

void tst_ListingParser::unixDates()
{
    QFETCH(QByteArray, line);
    QFETCH(QDateTime, when);
    const ListingParser parser(ListingParser::Format::List, QDateTime(QDate(2026, 12, 8), QTime(23, 0), Qt::UTC));
    const auto e = parser.parse(line);
    QVERIFY(e);
    QCOMPARE(e->modified, when);
    QCOMPARE(e->name, QByteArray("a"));
}

void tst_ListingParser::anyBytesNeverCrash()
{
    QRandomGenerator rng(42);
    const ListingParser list(ListingParser::Format::List);
    const ListingParser mlsd(ListingParser::Format::Mlsd);
    const QByteArray seeds[] = {"drwxr-xr-x 2 0 0 4096 Dec 07 22:00 x", "type=dir;size=1; x",
                                "12-07-20  10:00PM <DIR> x", "+/,\tx", ""};
    for (int i = 0; i < 20000; ++i) {
        QByteArray line = seeds[i % 5];
        for (int k = 0; k < 4; ++k) {
            const int at = line.isEmpty() ? 0 : int(rng.bounded(line.size()));
            line.insert(at, char(rng.bounded(256)));
            if (line.size() > 2 && rng.bounded(2))
                line.remove(int(rng.bounded(line.size())), int(rng.bounded(3)));
        }
        const auto a = list.parse(line);
        const auto b = mlsd.parse(line);
        QVERIFY(!a || !a->name.isEmpty());
        QVERIFY(!b || !b->name.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_ListingParser)
#include "tst_listingparser.moc"
