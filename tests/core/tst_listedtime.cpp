#include "core/base/ListedTime.h"

#include <QDateTime>
#include <QTest>

namespace {
constexpr qint64 MsFrom1601To1970 = 11644473600000;

quint64 at(const char *utc, TimePrecision p = TimePrecision::Exact)
{
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODateWithMs);
    return ListedTime::marked(quint64(t.toMSecsSinceEpoch() + MsFrom1601To1970) * ListedTime::TicksPerMs, p);
}
} // namespace

// Times listed by MLSD and by ls for the same file must compare equal to
// the coarser precision, or every change of listing form, and every file
// that crosses ls's six-month line, would show as a change on a rescan.
class tst_ListedTime : public QObject
{
    Q_OBJECT
private slots:
    void precisionRidesBelowTheMillisecond();
    void sameToTheCoarserPrecision_data();
    void sameToTheCoarserPrecision();
    void theFinerIsKept();
};

void tst_ListedTime::precisionRidesBelowTheMillisecond()
{
    const quint64 exact = at("2026-12-08T22:18:41.250Z");
    QCOMPARE(ListedTime::precision(exact), TimePrecision::Exact);
    const quint64 minute = ListedTime::marked(at("2026-12-08T22:18:00Z"), TimePrecision::Minute);
    QCOMPARE(ListedTime::precision(minute), TimePrecision::Minute);
    QCOMPARE(ListedTime::start(minute), at("2026-12-08T22:18:00Z"));
    QCOMPARE(minute - ListedTime::start(minute), 1u); // a tenth of a microsecond: shown and sorted as before
    QCOMPARE(ListedTime::precision(ListedTime::marked(minute, TimePrecision::Day)), TimePrecision::Day);
    QCOMPARE(ListedTime::marked(0, TimePrecision::Day), 0u);
}

void tst_ListedTime::sameToTheCoarserPrecision_data()
{
    using P = TimePrecision;
    QTest::addColumn<quint64>("stored");
    QTest::addColumn<quint64>("listed");
    QTest::addColumn<bool>("same");
    const quint64 mlsd = at("2026-06-10T12:34:56Z");
    const quint64 lsMinute = at("2026-06-10T12:34:00Z", P::Minute);
    const quint64 lsDay = at("2026-06-10T00:00:00Z", P::Day);
    QTest::newRow("exact, equal") << mlsd << mlsd << true;
    QTest::newRow("exact, a second apart") << mlsd << mlsd + 10000000 << false;
    QTest::newRow("MLSD then ls, same minute") << mlsd << lsMinute << true;
    QTest::newRow("ls then MLSD, same minute") << lsMinute << mlsd << true;
    QTest::newRow("ls then MLSD, next minute") << lsMinute << at("2026-06-10T12:35:00Z") << false;
    QTest::newRow("ls then MLSD, minute before") << lsMinute << at("2026-06-10T12:33:59Z") << false;
    QTest::newRow("ls minute, then a year instead of the time") << lsMinute << lsDay << true;
    QTest::newRow("ls day, then MLSD late that day") << lsDay << at("2026-06-10T23:59:59Z") << true;
    QTest::newRow("ls day, then MLSD next day") << lsDay << at("2026-06-11T00:00:00Z") << false;
    QTest::newRow("ls minute, other day") << lsMinute << at("2026-06-11T00:00:00Z", P::Day) << false;
    QTest::newRow("two minutes") << lsMinute << at("2026-06-10T12:35:00Z", P::Minute) << false;
    QTest::newRow("two days") << lsDay << at("2026-06-09T00:00:00Z", P::Day) << false;
    QTest::newRow("a time, then none") << mlsd << quint64(0) << false;
}

void tst_ListedTime::sameToTheCoarserPrecision()
{
    QFETCH(quint64, stored);
    QFETCH(quint64, listed);
    QFETCH(bool, same);
    QCOMPARE(ListedTime::same(stored, listed), same);
    QCOMPARE(ListedTime::same(listed, stored), same);
}

void tst_ListedTime::theFinerIsKept()
{
    const quint64 mlsd = at("2026-06-10T12:34:56Z");
    const quint64 minute = at("2026-06-10T12:34:00Z", TimePrecision::Minute);
    const quint64 day = at("2026-06-10T00:00:00Z", TimePrecision::Day);
    QCOMPARE(ListedTime::finer(mlsd, minute), mlsd);
    QCOMPARE(ListedTime::finer(minute, mlsd), mlsd);
    QCOMPARE(ListedTime::finer(day, minute), minute);
    QCOMPARE(ListedTime::finer(minute, minute + 0), minute);
}

QTEST_APPLESS_MAIN(tst_ListedTime)
#include "tst_listedtime.moc"
