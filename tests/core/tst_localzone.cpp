#include "core/base/LocalZone.h"

#include <QtTest>

class tst_LocalZone : public QObject
{
    Q_OBJECT
private slots:
    void pinnedZoneShowsTheSameTimes();
    void aZoneTheUserSetStays();
};

// The pinned zone is the system's own: stored times read the same after it.
void tst_LocalZone::pinnedZoneShowsTheSameTimes()
{
    if (!QFile::exists("/etc/localtime"))
        QSKIP("no /etc/localtime on this system");
    qunsetenv("TZ");
    const QDateTime summer(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC);
    const QDateTime winter(QDate(2026, 12, 9), QTime(1, 8), Qt::UTC);
    const QString before = summer.toLocalTime().toString(Qt::ISODate) + winter.toLocalTime().toString(Qt::ISODate);
    LocalZone::pin();
    QCOMPARE(qgetenv("TZ"), QByteArray(":/etc/localtime"));
    QCOMPARE(summer.toLocalTime().toString(Qt::ISODate) + winter.toLocalTime().toString(Qt::ISODate), before);
}

void tst_LocalZone::aZoneTheUserSetStays()
{
    qputenv("TZ", "Europe/Kyiv");
    LocalZone::pin();
    QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Kyiv"));
    qunsetenv("TZ");
}

QTEST_GUILESS_MAIN(tst_LocalZone)
#include "tst_localzone.moc"
