#include "core/catalogue/SearchTermText.h"

#include <QtTest>

class tst_SearchTermText : public QObject
{
    Q_OBJECT
private slots:
    void size_data();
    void size();
    void time_data();
    void time();
};

void tst_SearchTermText::size_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bytes"); // -1: not a size
    QTest::newRow("bytes") << "123" << Q_INT64_C(123);
    QTest::newRow("M") << "700M" << Q_INT64_C(700) * 1024 * 1024;
    QTest::newRow("GB, lower case, spaced") << " 5 gb " << (Q_INT64_C(5) << 30);
    QTest::newRow("fraction") << "1.5k" << Q_INT64_C(1536);
    QTest::newRow("T") << "2T" << (Q_INT64_C(2) << 40);
    QTest::newRow("past 2^63") << "9000000T" << Q_INT64_C(-1);
    QTest::newRow("negative") << "-5M" << Q_INT64_C(-1);
    QTest::newRow("unknown unit") << "5P" << Q_INT64_C(-1);
    QTest::newRow("empty") << "" << Q_INT64_C(-1);
}

void tst_SearchTermText::size()
{
    QFETCH(QString, text);
    QFETCH(qint64, bytes);
    const std::optional<qint64> read = SearchTermText::size(text);
    QCOMPARE(read.value_or(-1), bytes);
}

void tst_SearchTermText::time_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("when");
    const QDateTime now(QDate(2026, 12, 11), QTime(12, 0), Qt::UTC);
    QTest::newRow("date: midnight UTC") << "2024-01-01" << QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    QTest::newRow("time in UTC") << "2024-01-01T12:30:00Z" << QDateTime(QDate(2024, 1, 1), QTime(12, 30), Qt::UTC);
    QTest::newRow("time without a zone: UTC") << "2024-01-01T12:30:00" << QDateTime(QDate(2024, 1, 1), QTime(12, 30), Qt::UTC);
    QTest::newRow("time with an offset") << "2024-01-01T12:30:00+02:00" << QDateTime(QDate(2024, 1, 1), QTime(10, 30), Qt::UTC);
    QTest::newRow("days") << "30d" << now.addDays(-30);
    QTest::newRow("hours") << "12h" << now.addSecs(-12 * 3600);
    QTest::newRow("weeks") << "2w" << now.addDays(-14);
    QTest::newRow("minutes") << "90min" << now.addSecs(-90 * 60);
    QTest::newRow("not a time") << "yesterday" << QDateTime();
    QTest::newRow("no unit") << "30" << QDateTime();
}

void tst_SearchTermText::time()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, when);
    const QDateTime now(QDate(2026, 12, 11), QTime(12, 0), Qt::UTC);
    const QDateTime read = SearchTermText::time(text, now);
    QCOMPARE(read.isValid(), when.isValid());
    if (when.isValid())
        QCOMPARE(read.toMSecsSinceEpoch(), when.toMSecsSinceEpoch());
}

QTEST_GUILESS_MAIN(tst_SearchTermText)
#include "tst_searchtermtext.moc"
