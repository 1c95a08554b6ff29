#include "core/base/ListedTime.h"
#include "core/ftp/ListingAgreement.h"

#include <QTest>

namespace {
constexpr quint64 Second = 10000000;
constexpr quint64 Noon = 134414712000000000ull / (60 * Second) * (60 * Second); // a minute's start

FileEntry entry(const QByteArray &name, FileEntry::Kind kind, quint64 size, quint64 time)
{
    FileEntry e;
    e.wireName = name;
    e.name = QString::fromLatin1(name);
    e.kind = kind;
    e.size = size;
    e.time = time;
    return e;
}

// A folder as MLSD gives it and as ls prints it: the same entries, ls's
// times to the minute, folders with ls's block count.
void bothWays(FtpListing &mlsd, FtpListing &ls)
{
    using K = FileEntry::Kind;
    mlsd.ok = ls.ok = true;
    mlsd.entries = {entry("a.txt", K::File, 10, Noon + 41 * Second), entry("sub", K::Directory, 0, Noon),
                    entry("link", K::Link, 3, Noon)};
    ls.entries = {entry("a.txt", K::File, 10, ListedTime::marked(Noon, TimePrecision::Minute)),
                  entry("sub", K::Directory, 4096, ListedTime::marked(Noon, TimePrecision::Minute)),
                  entry("link", K::LinkToDirectory, 3, ListedTime::marked(Noon, TimePrecision::Minute))};
    mlsd.entries[1].sizeKnown = false;
}
} // namespace

// STAT replaces MLSD for a whole scan only where it tells the same: one
// wrong answer here makes every folder's rows wrong, or a rescan report
// false changes.
class tst_ListingAgreement : public QObject
{
    Q_OBJECT
private slots:
    void agreesWhereEverythingMatches();
    void disagreements_data();
    void disagreements();
    void folderSizesComeFromMlsd();
};

void tst_ListingAgreement::agreesWhereEverythingMatches()
{
    FtpListing mlsd, ls;
    bothWays(mlsd, ls);
    QVERIFY(ListingAgreement::agrees(mlsd, ls, 0));
    // A server an hour ahead: its ls times are an hour later.
    for (FileEntry &e : ls.entries)
        e.time += 3600 * Second;
    QVERIFY(!ListingAgreement::agrees(mlsd, ls, 0));
    QVERIFY(ListingAgreement::agrees(mlsd, ls, 3600));
    // pyftpdlib's MLSD follows links: ls, which shows the link, tells more.
    mlsd.entries[2].kind = FileEntry::Kind::Directory;
    mlsd.entries[2].time = 0;
    QVERIFY(ListingAgreement::agrees(mlsd, ls, 3600));
}

void tst_ListingAgreement::disagreements_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("hidden file missing") << "drop";
    QTest::newRow("other name") << "rename";
    QTest::newRow("file size") << "size";
    QTest::newRow("folder as file") << "kind";
    QTest::newRow("MLSD's link as a folder") << "link";
    QTest::newRow("time a minute off") << "time";
    QTest::newRow("a line unread") << "bad";
    QTest::newRow("listing failed") << "failed";
}

void tst_ListingAgreement::disagreements()
{
    QFETCH(QString, change);
    FtpListing mlsd, ls;
    bothWays(mlsd, ls);
    if (change == "drop")
        ls.entries.removeFirst();
    else if (change == "rename")
        ls.entries[0].wireName = "A.txt";
    else if (change == "size")
        ls.entries[0].size = 11;
    else if (change == "kind")
        ls.entries[1].kind = FileEntry::Kind::File;
    else if (change == "link")
        ls.entries[2].kind = FileEntry::Kind::Directory;
    else if (change == "time")
        ls.entries[0].time += 60 * Second;
    else if (change == "bad")
        ls.badLines = 1;
    else
        ls.ok = false;
    QVERIFY(!ListingAgreement::agrees(mlsd, ls, 0));
}

void tst_ListingAgreement::folderSizesComeFromMlsd()
{
    FtpListing mlsd, ls;
    bothWays(mlsd, ls);
    QVERIFY(!ListingAgreement::sizesFolders(mlsd)); // ProFTPD: no size fact for folders
    mlsd.entries[1].sizeKnown = true;
    mlsd.entries[1].size = 4096; // Pure-FTPd's "sizd"
    QVERIFY(ListingAgreement::sizesFolders(mlsd));
}

QTEST_APPLESS_MAIN(tst_ListingAgreement)
#include "tst_listingagreement.moc"
