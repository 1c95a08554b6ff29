#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <QTemporaryDir>
#include <QtTest>

class tst_ActivityLog : public QObject
{
    Q_OBJECT
private slots:
    void stamp_data();
    void stamp();
    void capRemovesOneLinePerCall();
    void longFileKeepsItsLastLines();
    void fileNeverPassesTheBound();
    void counterFollowsTheClock();
    void readsAnyLineEndWritesCrLf();
    void elapsedText_data();
    void elapsedText();
    void counterStartsAndStops();
    void linesSurviveSigkill();
    void normalExitWritesTheBoundedList();
};

namespace {
// The child side of linesSurviveSigkill: logs three lines and waits to be killed.
int loggerChild(const QString &path)
{
    ActivityLog log;
    log.loadFromFile(path);
    if (!log.appendTo(path))
        return 2;
    for (int i = 1; i <= 3; ++i)
        log.LogLine(QStringLiteral("line %1").arg(i), false);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
int lineCount(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : -1;
}
} // namespace

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

// A file an older version let grow is read for its last MaxLines.
void tst_ActivityLog::longFileKeepsItsLastLines()
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
    QCOMPARE(log.lines().size(), ActivityLog::MaxLines);
    QCOMPARE(log.lines().first(), QString("300"));
    QVERIFY(log.appendTo(path));
    QCOMPARE(lineCount(path), ActivityLog::KeptOnRewrite); // rewritten at once
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

// A scan that floods the log keeps the file within MaxLines at every line,
// with the newest line always on disk.
void tst_ActivityLog::fileNeverPassesTheBound()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.log");
    ActivityLog log;
    QVERIFY(log.appendTo(path));
    int most = 0;
    for (int i = 1; i <= 2000; ++i) {
        log.LogLine(QStringLiteral("line %1").arg(i), false);
        const int n = lineCount(path);
        most = qMax(most, n);
        QVERIFY2(n >= qMin(i, ActivityLog::KeptOnRewrite), qPrintable(QString::number(n)));
    }
    QCOMPARE(most, ActivityLog::MaxLines);
    QCOMPARE(log.lines().size(), ActivityLog::MaxLines);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().endsWith("line 2000\r\n"));
}

void tst_ActivityLog::counterFollowsTheClock()
{
    qint64 now = 5000;
    ElapsedCounter c;
    c.setClock([&now] { return now; });
    c.start();
    now += 146999; // a thread too busy for timer ticks all along
    QCOMPARE(c.tag(), 146);
    QCOMPARE(ElapsedCounter::ElapsedText(c.tag()), QString("2 min  26 sec"));
    c.stop();
    QCOMPARE(c.tag(), 0);
}

void tst_ActivityLog::linesSurviveSigkill()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.log");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier\r\n");
    old.close();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HARVEX_LOG_CHILD", path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForReadyRead(10000));
    QCOMPARE(child.readLine(), QByteArray("ready\n"));
    child.kill(); // SIGKILL: no destructor, no exit handler runs
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("earlier\r\nline 1\r\nline 2\r\nline 3\r\n"));
}

// Appending changes nothing of what the file holds after a normal exit: the
// list, at most MaxLines long, written over it.
void tst_ActivityLog::normalExitWritesTheBoundedList()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.log");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < ActivityLog::MaxLines; ++i)
        f.write(QByteArray::number(i) + "\r\n");
    f.close();
    const qint64 before = QFileInfo(path).size();
    ActivityLog log;
    QVERIFY(log.loadFromFile(path));
    QVERIFY(log.appendTo(path));
    log.LogLine("new", false);
    QCOMPARE(lineCount(path), ActivityLog::KeptOnRewrite); // full: rewritten at once, "new" last
    QVERIFY(QFileInfo(path).size() < before);
    log.stopAppending();
    QVERIFY(log.saveToFile(path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), ActivityLog::MaxLines + 1); // the last CR LF ends the last line
    QCOMPARE(lines.first(), QByteArray("1\r"));
    QCOMPARE(lines[ActivityLog::MaxLines - 1], QByteArray("new\r"));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("HARVEX_LOG_CHILD"))
        return loggerChild(qEnvironmentVariable("HARVEX_LOG_CHILD"));
    QCoreApplication app(argc, argv);
    tst_ActivityLog t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_activitylog.moc"
