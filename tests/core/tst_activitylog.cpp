#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_ActivityLog : public QObject
{
    Q_OBJECT
private slots:
    void stamp_data();
    void stamp();
    void capRemovesOneLinePerCall();
    void longFileShrinksGradually();
    void readsAnyLineEndWritesCrLf();
    void elapsedText_data();
    void elapsedText();
    void counterStartsAndStops();
};

void tst_ActivityLog::stamp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("line");
    QTest::newRow("no leading zeros") << " Application Started " << QDateTime(QDate(2005, 3, 3), QTime(14, 7, 9))
                                      << " Application Started     3/3/2005 14:7:9";
    QTest::newRow("midnight") << "x" << QDateTime(QDate(2026, 12, 31), QTime(0, 0, 0)) << "x    12/31/2026 0:0:0";
    QTest::newRow("empty text") << "" << QDateTime(QDate(2026, 1, 2), QTime(5, 9, 0)) << "    1/2/2026 5:9:0";
}

void tst_ActivityLog::stamp()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, when);
    QFETCH(QString, line);
    ActivityLog log;
    log.setClock([when] { return when; });
    log.LogLine(text, true);
    log.LogLine(text, false);
    QCOMPARE(log.lines(), (QStringList{line, text}));
}

void tst_ActivityLog::capRemovesOneLinePerCall()
{
    ActivityLog log;
    for (int i = 1; i <= 501; ++i)
        log.LogLine(QString::number(i), false);
    QCOMPARE(log.lines().size(), 500);
    QCOMPARE(log.lines().first(), QString("2"));
    QCOMPARE(log.lines().last(), QString("501"));
}

void tst_ActivityLog::longFileShrinksGradually()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.log");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < 800; ++i)
        f.write(QByteArray::number(i) + "\r\n");
    f.close();
    ActivityLog log;
    QVERIFY(log.loadFromFile(path));
    QCOMPARE(log.lines().size(), 800);
    log.LogLine("next", false);
    QCOMPARE(log.lines().size(), 800);
    QCOMPARE(log.lines().first(), QString("1"));
}

void tst_ActivityLog::readsAnyLineEndWritesCrLf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.log");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("a\rb\nc\r\n\r\nlast");
    f.close();
    ActivityLog log;
    QVERIFY(log.loadFromFile(path));
    QCOMPARE(log.lines(), (QStringList{"a", "b", "c", "", "last"}));
    QVERIFY(log.saveToFile(path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("a\r\nb\r\nc\r\n\r\nlast\r\n"));
}

void tst_ActivityLog::elapsedText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "0 sec";
    QTest::newRow("60") << 60 << "60 sec";
    QTest::newRow("61") << 61 << "1 min  1 sec";
    QTest::newRow("3599") << 3599 << "59 min  59 sec";
    QTest::newRow("3600") << 3600 << "60 min  0 sec";
    QTest::newRow("3601") << 3601 << "1 hour  0 min";
    QTest::newRow("3661") << 3661 << "1 hour  1 min";
}

void tst_ActivityLog::elapsedText()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(ElapsedCounter::ElapsedText(seconds), text);
}

void tst_ActivityLog::counterStartsAndStops()
{
    ElapsedCounter c;
    c.setTag(7);
    c.start();
    QCOMPARE(c.tag(), 0);
    QVERIFY(c.isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(c.tag(), 1, 3000);
    c.stop();
    QVERIFY(!c.isEnabled());
    QCOMPARE(c.tag(), 0);
}

QTEST_GUILESS_MAIN(tst_ActivityLog)
#include "tst_activitylog.moc"
