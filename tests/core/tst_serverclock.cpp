#include "core/base/ListedTime.h"
#include "core/ftp/ServerClock.h"

#include <QDateTime>
#include <QTest>

namespace {
constexpr qint64 MsFrom1601To1970 = 11644473600000;

quint64 at(const QDateTime &t, TimePrecision p = TimePrecision::Exact)
{
    return ListedTime::marked(quint64(t.toMSecsSinceEpoch() + MsFrom1601To1970) * ListedTime::TicksPerMs, p);
}

FileEntry file(const QByteArray &name, quint64 time)
{
    FileEntry e;
    e.wireName = name;
    e.name = QString::fromLatin1(name);
    e.time = time;
    return e;
}

// The file's true time in UTC, and as ls on a server offsetS ahead prints it.
struct Pair
{
    FtpListing mlsd, ls;
};

Pair listedBothWays(int offsetS, const QDateTime &utc, TimePrecision lsPrecision = TimePrecision::Minute)
{
    Pair p;
    p.mlsd.ok = p.ls.ok = true;
    p.mlsd.entries << file("a.txt", at(utc));
    QDateTime local = utc.addSecs(offsetS);
    local.setTime(lsPrecision == TimePrecision::Day ? QTime(0, 0) : QTime(local.time().hour(), local.time().minute()));
    p.ls.entries << file("a.txt", at(local, lsPrecision));
    return p;
}
} // namespace

// ls prints a server's local time with no zone: the offset, learned once
// per server, must come out exactly, or every time it lists is wrong.
class tst_ServerClock : public QObject
{
    Q_OBJECT
private slots:
    void offsetFromBothListings_data();
    void offsetFromBothListings();
    void noOffsetWithoutMinutesOrWhenTheyDisagree();
    void offsetFromMdtm_data();
    void offsetFromMdtm();
    void mdtmAsksOnlyForAPlainFileListedToTheMinute();
    void shiftMovesOnlyTheLsTimes();
};

void tst_ServerClock::offsetFromBothListings_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QDateTime>("utc");
    const QDateTime late(QDate(2026, 12, 8), QTime(22, 18, 59), Qt::UTC);
    const QDateTime early(QDate(2026, 12, 8), QTime(22, 18, 0), Qt::UTC);
    QTest::newRow("UTC, last second of the minute") << 0 << late;
    QTest::newRow("UTC, first second") << 0 << early;
    QTest::newRow("India, +5:30") << 19800 << late;
    QTest::newRow("Nepal, +5:45") << 20700 << early;
    QTest::newRow("New York, -5:00") << -18000 << late;
    QTest::newRow("Kiribati, +14:00") << 50400 << early;
}

void tst_ServerClock::offsetFromBothListings()
{
    QFETCH(int, offset);
    QFETCH(QDateTime, utc);
    const Pair p = listedBothWays(offset, utc);
    QCOMPARE(ServerClock::offsetFrom(p.mlsd, p.ls), std::optional<int>(offset));
}

void tst_ServerClock::noOffsetWithoutMinutesOrWhenTheyDisagree()
{
    const QDateTime utc(QDate(2020, 3, 4), QTime(5, 6, 7), Qt::UTC);
    const Pair old = listedBothWays(3600, utc, TimePrecision::Day);
    QCOMPARE(ServerClock::offsetFrom(old.mlsd, old.ls), std::nullopt);
    Pair two = listedBothWays(3600, utc);
    const Pair other = listedBothWays(7200, utc.addDays(1));
    two.mlsd.entries << file("b.txt", other.mlsd.entries[0].time);
    two.ls.entries << file("b.txt", other.ls.entries[0].time);
    QCOMPARE(ServerClock::offsetFrom(two.mlsd, two.ls), std::nullopt);
    // pyftpdlib's MLSD gives a link its target's time: the link tells nothing.
    two.ls.entries[1].kind = FileEntry::Kind::Link;
    QCOMPARE(ServerClock::offsetFrom(two.mlsd, two.ls), std::optional<int>(3600));
    // Off by more than a minute from any quarter hour: not a clock.
    Pair skewed = listedBothWays(0, utc);
    skewed.ls.entries[0].time += 5 * 60 * 10000000ull;
    QCOMPARE(ServerClock::offsetFrom(skewed.mlsd, skewed.ls), std::nullopt);
}

void tst_ServerClock::offsetFromMdtm_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("code");
    QTest::addColumn<std::optional<int>>("offset");
    QTest::newRow("UTC") << QByteArray("213 20261208221841") << 213 << std::optional<int>(0);
    QTest::newRow("fraction") << QByteArray("213 20261208221841.250") << 213 << std::optional<int>(0);
    QTest::newRow("refused") << QByteArray("550 No such file") << 550 << std::optional<int>();
    QTest::newRow("garbage") << QByteArray("213 yesterday") << 213 << std::optional<int>();
}

void tst_ServerClock::offsetFromMdtm()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, code);
    QFETCH(std::optional<int>, offset);
    const QDateTime local(QDate(2026, 12, 8), QTime(22, 18), Qt::UTC);
    FtpReply r{code, {reply}};
    QCOMPARE(ServerClock::offsetFromMdtm(r, at(local, TimePrecision::Minute)), offset);
    if (offset) // a day's line gives no offset
        QCOMPARE(ServerClock::offsetFromMdtm(r, at(local, TimePrecision::Day)), std::nullopt);
}

void tst_ServerClock::mdtmAsksOnlyForAPlainFileListedToTheMinute()
{
    const QDateTime t(QDate(2026, 12, 8), QTime(22, 18), Qt::UTC);
    FtpListing l;
    l.entries << file("old.txt", at(t, TimePrecision::Day)) << file("bad\r\nDELE x", at(t, TimePrecision::Minute));
    FileEntry folder = file("dir", at(t, TimePrecision::Minute));
    folder.kind = FileEntry::Kind::Directory;
    l.entries << folder;
    QCOMPARE(ServerClock::mdtmCandidate(l), nullptr);
    l.entries << file("good.txt", at(t, TimePrecision::Minute));
    QVERIFY(ServerClock::mdtmCandidate(l));
    QCOMPARE(ServerClock::mdtmCandidate(l)->wireName, QByteArray("good.txt"));
}

void tst_ServerClock::shiftMovesOnlyTheLsTimes()
{
    const QDateTime t(QDate(2026, 12, 8), QTime(22, 18), Qt::UTC);
    FtpListing l;
    l.entries << file("ls.txt", at(t, TimePrecision::Minute)) << file("exact.txt", at(t)) << file("none", 0);
    ServerClock::shift(l, 3600);
    QCOMPARE(l.entries[0].time, at(t.addSecs(-3600), TimePrecision::Minute));
    QCOMPARE(l.entries[1].time, at(t));
    QCOMPARE(l.entries[2].time, 0u);
}

QTEST_APPLESS_MAIN(tst_ServerClock)
#include "tst_serverclock.moc"
