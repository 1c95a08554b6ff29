#include "FtpTestServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// harvex-cli scan as scripts and timers run it: logging on with nobody at
// the terminal, and cut short by a signal, by a limit, by a server without
// end; what it stored, and what the next scan does.
class tst_ScanCommand : public QObject
{
    Q_OBJECT
private slots:
    void logsOnFromNetrc();
    void startFolderListsOnlyItsSubtree();
    void stoppedAndKilledScansAreCompletedByARescan();
    void stalledListingStoppedBySignal_data();
    void stalledListingStoppedBySignal();
    void limitsStopAnEndlessTree_data();
    void limitsStopAnEndlessTree();
    void endlessTreeStaysSmallAndStopsOnSigterm();
};

// The user and password of an unattended scan come from ~/.netrc, and only
// while no one else can read it.
void tst_ScanCommand::logsOnFromNetrc()
{
    QTemporaryDir tree, data, home;
    FtpTestServer::makeFile(tree.filePath(QStringLiteral("private/report.txt")), 10);
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib)
        || !server.start(tree.path(), QStringLiteral("scanner"), QStringLiteral("s3cret pass")))
        QSKIP("pyftpdlib not available");
    QFile netrc(home.filePath(QStringLiteral(".netrc")));
    QVERIFY(netrc.open(QIODevice::WriteOnly));
    netrc.write("machine 127.0.0.1\n  login scanner\n  password \"s3cret pass\"\n");
    netrc.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    // The exit code, then what was said.
    const auto scan = [&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(HARVEX_CLI), {"scan", server.hostText(), "--data", data.path()});
        p.closeWriteChannel();
        const bool ended = p.waitForFinished(60000);
        return std::pair{ended ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
    };
    QVERIFY(netrc.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    const auto [refusedCode, refused] = scan();
    QCOMPARE(refusedCode, 1);
    QVERIFY2(refused.contains(QStringLiteral("can be read by others")), qPrintable(refused));
    QVERIFY(netrc.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    const auto [code, said] = scan();
    QVERIFY2(code == 0, qPrintable(said));
    QProcess check;
    check.start(QStringLiteral(HARVEX_CLI), {"sql", "SELECT Name FROM DB ORDER BY Name", "--data", data.path()});
    QVERIFY(check.waitForFinished());
    QCOMPARE(QString::fromUtf8(check.readAllStandardOutput()), QStringLiteral("Name\nprivate\nreport\n"));
}

namespace {
QString cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return QStringLiteral("no end");
    return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput())
                             : QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(QString::fromUtf8(p.readAllStandardError()));
}
} // namespace

// A scan of ftp://host/pub/linux fills the host's one tree below that
// folder, and its rescan removes only what vanished there.
void tst_ScanCommand::startFolderListsOnlyItsSubtree()
{
    QTemporaryDir tree, data;
    for (const char *file : {"top.txt", "pub/linux/disc one.iso", "pub/linux/old.iso", "pub/linux/sub/a.txt", "pub/other/b.txt"})
        FtpTestServer::makeFile(tree.filePath(QString::fromLatin1(file)), 3);
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib) || !server.start(tree.path()))
        QSKIP("pyftpdlib not available");
    const QString host = server.hostText();
    const QStringList paths{"sql", "SELECT Name, ext FROM DB ORDER BY Name, ext", "--data", data.path()};
    QCOMPARE(cli({"scan", host + "/pub/linux", "--data", data.path()}), QString());
    QCOMPARE(cli(paths), QStringLiteral("Name\text\na\ttxt\ndisc one\tiso\nlinux\t<DIR>\nold\tiso\npub\t<DIR>\nsub\t<DIR>\n"));
    // The whole host, then a file gone inside the folder and one outside it.
    QCOMPARE(cli({"scan", host, "--data", data.path()}), QString());
    QVERIFY(QFile::remove(tree.filePath("pub/linux/old.iso")));
    QVERIFY(QFile::remove(tree.filePath("pub/other/b.txt")));
    QCOMPARE(cli({"scan", host + "/pub/linux", "--data", data.path()}), QString());
    QCOMPARE(cli({"sql", "SELECT COUNT(*) FROM DB WHERE Name = 'old'", "--data", data.path()}), QStringLiteral("COUNT(*)\n0\n"));
    QCOMPARE(cli({"sql", "SELECT COUNT(*) FROM DB WHERE Name = 'b'", "--data", data.path()}), QStringLiteral("COUNT(*)\n1\n"));
    QCOMPARE(cli({"sql", "SELECT COUNT(*) FROM DB WHERE Name = 'pub'", "--data", data.path()}), QStringLiteral("COUNT(*)\n1\n"));
    const QString found = cli({"find", "disc%", "--data", data.path()});
    QCOMPARE(found, host + QStringLiteral("/pub/linux/disc one.iso\n"));
}

// SIGTERM ends a scan as Cancel does, SIGKILL with no chance to commit;
// the next scan completes the tree, each row once.
void tst_ScanCommand::stoppedAndKilledScansAreCompletedByARescan()
{
    QTemporaryDir tree, data;
    int expected = 0;
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                for (int f = 0; f < 5; ++f)
                    FtpTestServer::makeFile(tree.filePath(QStringLiteral("d%1/d%2/d%3/f%4.dat").arg(a).arg(b).arg(c).arg(f)), 1);
                expected += 6;
            }
    expected += 10 + 100;
    // Listed by MLSD, a folder a data connection: with STAT pipelined the
    // whole tree goes by before the signal can come.
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib)
        || !server.startZoned(tree.path(), "UTC", {"--no-stat"}))
        QSKIP("pyftpdlib not available");
    const QStringList scan{"scan", server.hostText(), "--data", data.path()};
    QProcess stopped;
    stopped.setReadChannel(QProcess::StandardError);
    stopped.start(QStringLiteral(HARVEX_CLI), scan);
    QVERIFY(stopped.waitForStarted());
    QByteArray said;
    while (!said.contains(" started:") && stopped.waitForReadyRead(10000))
        said += stopped.readAllStandardError();
    QTest::qWait(200);
    stopped.terminate(); // as a timer would: the scan ends like a Cancel
    QVERIFY(stopped.waitForFinished(30000));
    said += stopped.readAllStandardError();
    QCOMPARE(stopped.exitCode(), 130);
    QVERIFY(said.contains("   Scanning complete. Scan time:"));
    QProcess killed;
    killed.setReadChannel(QProcess::StandardError);
    killed.start(QStringLiteral(HARVEX_CLI), scan);
    QVERIFY(killed.waitForStarted());
    // Killed once it is listing, however long a loaded machine takes to log
    // on, and long before it can end: on loopback the tree takes well under a second.
    said.clear();
    while (!said.contains(" started:") && killed.waitForReadyRead(10000))
        said += killed.readAllStandardError();
    QTest::qWait(30);
    killed.kill(); // no chance to commit what it holds
    killed.waitForFinished();
    // Each scan carries on from the folders the one before left.
    QProcess again;
    again.start(QStringLiteral(HARVEX_CLI), scan);
    QVERIFY(again.waitForFinished(120000));
    QCOMPARE(again.exitCode(), 0);
    const QString againSaid = QString::fromUtf8(again.readAllStandardError());
    QVERIFY2(againSaid.contains(QStringLiteral("Resuming the scan of %1: ").arg(server.hostText())), qPrintable(againSaid));
    QProcess check;
    check.start(QStringLiteral(HARVEX_CLI),
                {"sql", "SELECT COUNT(*) AS n, COUNT(DISTINCT PID || '/' || Name || '.' || ext) AS d FROM DB",
                 "--data", data.path()});
    QVERIFY(check.waitForFinished());
    QCOMPARE(QString::fromUtf8(check.readAllStandardOutput()), QStringLiteral("n\td\n%1\t%1\n").arg(expected));
}

void tst_ScanCommand::stalledListingStoppedBySignal_data()
{
    QTest::addColumn<bool>("kill");
    QTest::newRow("SIGTERM ends the scan within a second") << false;
    QTest::newRow("SIGKILL loses no row listed before the stall") << true;
}

// The top level is listed, then the listing of "sub dir" stalls for good.
void tst_ScanCommand::stalledListingStoppedBySignal()
{
    QFETCH(bool, kill);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer bad(FtpTestServer::Kind::Scripted);
    QVERIFY(bad.startScripted("stall-sub"));
    QTemporaryDir data;
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), {"scan", bad.hostText(), "--passive", "--data", data.path()});
    QVERIFY(p.waitForStarted());
    QTest::qWait(1000);
    QCOMPARE(p.state(), QProcess::Running);
    QElapsedTimer clock;
    clock.start();
    if (kill)
        p.kill();
    else
        p.terminate();
    QVERIFY(p.waitForFinished(3000));
    if (!kill) {
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(p.exitCode(), 130);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("   Scan cancelled"));
    }
    QProcess sql;
    sql.start(QStringLiteral(HARVEX_CLI), {"sql", "SELECT Name FROM DB ORDER BY Name", "--data", data.path()});
    QVERIFY(sql.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(sql.readAllStandardOutput()), QString("Name\ngood\nsub dir\n"));
}

void tst_ScanCommand::limitsStopAnEndlessTree_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("limit");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<int>("rows");
    const QString entryLimit = QStringLiteral("the entry limit of %1 was reached ([SCAN] Max Entries, --max-entries)");
    QTest::newRow("--max-entries") << QByteArray() << QStringList{"--max-entries", "25"} << entryLimit.arg(25) << 25;
    QTest::newRow("[SCAN] Max Entries") << QByteArray("[SCAN]\nMax Entries=18\n") << QStringList() << entryLimit.arg(18)
                                        << 18;
    QTest::newRow("--max-entries over the setting") << QByteArray("[SCAN]\nMax Entries=18\n")
                                                    << QStringList{"--max-entries", "25"} << entryLimit.arg(25) << 25;
    QTest::newRow("--max-depth") << QByteArray() << QStringList{"--max-depth", "6"}
                                 << "deeper than the depth limit of 6 levels" << 14;
}

// A server that makes up a new folder in every folder.
void tst_ScanCommand::limitsStopAnEndlessTree()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, limit);
    QFETCH(QString, logged);
    QFETCH(int, rows);
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    QVERIFY(server.startScripted("deep")); // unlike "endless", no listing repeats one above it
    QTemporaryDir data;
    if (!settings.isEmpty()) {
        QFile ini(data.filePath("Harvex.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(settings);
    }
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), QStringList{"scan", server.hostText(), "--passive", "--data", data.path()} + limit);
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 3);
    QVERIFY2(err.contains(logged), qPrintable(err));
    QProcess count;
    count.start(QStringLiteral(HARVEX_CLI), {"sql", "SELECT COUNT(*) FROM DB", "--data", data.path()});
    QVERIFY(count.waitForFinished());
    QCOMPARE(QString::fromUtf8(count.readAllStandardOutput()).split('\n').value(1).toInt(), rows);
}

namespace {
// VmHWM: the most resident memory the process has had, in KiB.
qint64 peakResidentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
} // namespace

// Every folder holds two new ones, forever: the folders waiting pile up in
// the catalogue, not in memory, the log stays short, and SIGTERM ends it.
void tst_ScanCommand::endlessTreeStaysSmallAndStopsOnSigterm()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted("endless-tree"));
    QTemporaryDir data;
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), {"scan", server.hostText(), "--data", data.path()});
    QVERIFY(p.waitForStarted());
    QTest::qWait(8000);
    QCOMPARE(p.state(), QProcess::Running);
    const qint64 peak = peakResidentKb(p.processId());
    QElapsedTimer clock;
    clock.start();
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
    const qint64 took = clock.elapsed();
    QCOMPARE(p.exitCode(), 130);
    QVERIFY2(peak > 0 && peak < 256 * 1024, qPrintable(QString::number(peak)));
    QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.size() < 64 * 1024, qPrintable(QString::number(err.size())));
    QProcess left;
    left.start(QStringLiteral(HARVEX_CLI), {"sql", "SELECT COUNT(*) FROM PendingFolder", "--data", data.path()});
    QVERIFY(left.waitForFinished());
    QVERIFY(QString::fromUtf8(left.readAllStandardOutput()).split('\n').value(1).toInt() > 0);
}

QTEST_GUILESS_MAIN(tst_ScanCommand)
#include "tst_scancommand.moc"
