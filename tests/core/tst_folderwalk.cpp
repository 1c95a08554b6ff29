#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "core/catalogue/Catalogue.h"
#include "core/scan/FtpConnection.h"
#include "core/scan/HostScanner.h"
#include "FtpTestServer.h"
#include "ScanTestDoubles.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

// The walks over real and scripted servers: listings in flight on one
// connection, several connections, and one listing at a time, each checked
// against what the others store.
namespace {
// A real FTP connection to hostText and a scanner on it, with what they report to.
struct ServerScan
{
    ActivityLog log;
    ElapsedCounter timeConnect;
    FixedHost hosts;
    Recorder messages;
    RecordingView view;
    FtpConnection conn{log, timeConnect, hosts, messages};
    HostScanner scanner;
    ServerScan(const QString &hostText, Catalogue &cat)
        : scanner(conn, cat, log, hosts, messages, view)
    {
        hosts.host = hostText; // read when the scan connects
    }
};

// Every row as its path from the top, with size and attributes: two scans
// that stored the same tree compare equal whatever IDs and order they used.
QStringList storedTree(Catalogue &cat)
{
    QSqlQuery q(cat.database());
    q.exec("SELECT ID, PID, Name, ext, Size, Attr FROM DB");
    QMap<qint32, QPair<qint32, QString>> rows;
    QMap<qint32, QString> facts;
    while (q.next()) {
        rows.insert(q.value(0).toInt(), {q.value(1).toInt(), q.value(2).toString() + "." + q.value(3).toString()});
        facts.insert(q.value(0).toInt(), q.value(4).toString() + "|" + q.value(5).toString());
    }
    QStringList out;
    for (auto r = rows.cbegin(); r != rows.cend(); ++r) {
        QString path = r->second;
        for (qint32 p = r->first; p != 0; p = rows.value(p, {0, "?"}).first)
            path = rows.value(p, {0, "?"}).second + "/" + path;
        out << path + "|" + facts[r.key()];
    }
    out.sort();
    return out;
}

// storedTree(cat)'s paths alone, in order.
QStringList storedTreePaths(Catalogue &cat)
{
    QStringList names;
    for (const QString &row : storedTree(cat))
        names << row.section('|', 0, 0);
    names.sort();
    return names;
}
} // namespace

class tst_FolderWalk : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void everyWalkStoresWhatOneConnectionStores_data();
    void everyWalkStoresWhatOneConnectionStores();
    void pipelinedServersStayExact_data();
    void pipelinedServersStayExact();
    void parallelScansLoseNothing_data();
    void parallelScansLoseNothing();
    void mlsdNamesTheFolderOnlyWhereItIsHonoured_data();
    void mlsdNamesTheFolderOnlyWhereItIsHonoured();
    void cancelWithListingsInFlight_data();
    void cancelWithListingsInFlight();
    void depthLimitHoldsInEveryWalk_data();
    void depthLimitHoldsInEveryWalk();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

void tst_FolderWalk::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
}

void tst_FolderWalk::everyWalkStoresWhatOneConnectionStores_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("pipelining");
    QTest::addColumn<int>("connections");
    QTest::newRow("vsftpd, listings in flight") << int(FtpTestServer::Kind::Vsftpd) << true << 1;
    QTest::newRow("vsftpd, 4 connections") << int(FtpTestServer::Kind::Vsftpd) << false << 4;
    QTest::newRow("pyftpdlib, 4 connections") << int(FtpTestServer::Kind::Pyftpdlib) << false << 4;
}

// The same tree through a scan with listings in flight or over several
// connections and through one a listing at a time on one connection: the
// same rows under the same parents, whatever order they were stored in, and
// the rescan stores nothing new.
void tst_FolderWalk::everyWalkStoresWhatOneConnectionStores()
{
    QFETCH(int, kind);
    QFETCH(bool, pipelining);
    QFETCH(int, connections);
    if (!FtpTestServer::available(FtpTestServer::Kind(kind)))
        QSKIP("server not installed or not root");
    QTemporaryDir tree;
    for (const char *f : {"readme.txt", "a?b/q.txt", "axb/x.txt", "a*b/star.txt", "sp ace/in/deep.txt", ".hid/h.txt"})
        FtpTestServer::makeFile(tree.filePath(QString::fromUtf8(f)), 7);
    for (int i = 0; i < 60; ++i) // wider than the first window
        FtpTestServer::makeFile(tree.filePath(QStringLiteral("wide/w%1/sub/f%1.txt").arg(i)), i);
    QDir(tree.path()).mkpath("empty");
    FtpTestServer server{FtpTestServer::Kind(kind)};
    QVERIFY(server.start(tree.path()));

    QStringList trees[2];
    for (const bool reference : {true, false}) {
        init();
        ActivityLog log;
        ElapsedCounter timeConnect;
        FixedHost hosts;
        hosts.host = server.hostText();
        Recorder messages;
        RecordingView view;
        FtpConnection conn(log, timeConnect, hosts, messages);
        HostScanner scanner(conn, *m_cat, log, hosts, messages, view);
        scanner.setPipelining(!reference && pipelining);
        scanner.setConnections(reference ? 1 : connections);
        scanner.ScanHost();
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
        QVERIFY2(scanner.stats().failed == 0, qPrintable(log.lines().filter("Could not list").join(u'\n')));
        QCOMPARE(scanner.stats().listed, 1 + 6 + 1 + 2 * 60 + 1);
        if (!reference) {
            QCOMPARE(scanner.stats().pipelined, pipelining);
            QVERIFY(scanner.stats().connections <= connections); // how many joined in is timing
            QCOMPARE(log.lines().filter("Connections used:").size(), connections > 1 ? 1 : 0);
        }
        trees[reference] = storedTree(*m_cat);
        const qint64 count = m_cat->recordCount();
        scanner.ScanHost();
        QCOMPARE(m_cat->recordCount(), count);
        QCOMPARE(scanner.stats().added + scanner.stats().changed + scanner.stats().removed, 0);
        QCOMPARE(view.dirs, scanner.stats().directories);
    }
    QCOMPARE(trees[0], trees[1]);
    QVERIFY(trees[0].contains("a?b.<DIR>/q.txt|7|128")); // entered by its name, not as a pattern
    QVERIFY(trees[0].contains("a*b.<DIR>/star.txt|7|128"));
}

void tst_FolderWalk::pipelinedServersStayExact_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("pipelined");
    QTest::addColumn<int>("logons");
    QTest::newRow("in order") << "pipeline" << true << 1;
    // The probe's doubt costs a new connection, then one listing at a time.
    QTest::newRow("answers out of order") << "pipeline-reorder" << false << 2;
    QTest::newRow("drops pipelined commands") << "pipeline-drop" << false << 2;
    QTest::newRow("connection cut mid-pipeline") << "pipeline-cut" << true << 2;
}

// Whatever the server does with pipelined commands, every folder is stored
// once under its own parent, and nothing is lost.
void tst_FolderWalk::pipelinedServersStayExact()
{
    QFETCH(QString, scenario);
    QFETCH(bool, pipelined);
    QFETCH(int, logons);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    ActivityLog log;
    ElapsedCounter timeConnect;
    FixedHost hosts;
    hosts.host = server.hostText();
    Recorder messages;
    RecordingView view;
    FtpConnection conn(log, timeConnect, hosts, messages);
    HostScanner scanner(conn, *m_cat, log, hosts, messages, view);
    scanner.setConnections(1); // after the probe's doubt, one listing at a time
    scanner.ScanHost();
    QCOMPARE(scanner.stats().pipelined, pipelined);
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
    QVERIFY2(scanner.stats().failed == 0, qPrintable(log.lines().filter("Could not list").join(u'\n')));
    QCOMPARE(scanner.stats().listed, 7);
    QCOMPARE(server.receivedCommands().count("USER"), logons);
    const QStringList names = storedTreePaths(*m_cat);
    QStringList expected{"a*b.<DIR>", "a*b.<DIR>/star.txt", "a?b.<DIR>", "a?b.<DIR>/only-in-a-question-b.txt",
                                 "axb.<DIR>", "axb.<DIR>/x.txt", "one.<DIR>", "one.<DIR>/1.txt", "one.<DIR>/two.<DIR>",
                                 "one.<DIR>/two.<DIR>/2.txt", "one.<DIR>/two.<DIR>/three.<DIR>",
                                 "one.<DIR>/two.<DIR>/three.<DIR>/3.txt", "top.txt"};
    expected.sort();
    QCOMPARE(names, expected);
}

namespace {
// The scripted server's wide tree: eight folders of three subfolders each.
QStringList wideTree()
{
    QStringList names{"top.txt"};
    for (int i = 0; i < 8; ++i) {
        const QString d = QStringLiteral("d%1.<DIR>").arg(i);
        names << d << d + QStringLiteral("/f%1.txt").arg(i);
        for (int j = 0; j < 3; ++j) {
            const QString s = d + QStringLiteral("/s%1.<DIR>").arg(j);
            names << s << s + QStringLiteral("/g%1%2.txt").arg(i).arg(j);
        }
    }
    names.sort();
    return names;
}
} // namespace

void tst_FolderWalk::parallelScansLoseNothing_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("mostConnections");
    // Two sessions at most, a third refused with 421, and two listings
    // answered with 421 and a closed connection.
    QTest::newRow("421 storm") << "parallel-busy" << 2;
    QTest::newRow("connection cut mid-listing") << "parallel-cut" << 4;
}

// Whatever the server does to the connections of a parallel scan, the
// folders a lost connection held are listed by another and every row is
// stored once under its own parent.
void tst_FolderWalk::parallelScansLoseNothing()
{
    QFETCH(QString, scenario);
    QFETCH(int, mostConnections);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    ServerScan scan(server.hostText(), *m_cat);
    HostScanner &scanner = scan.scanner;
    ActivityLog &log = scan.log;
    Recorder &messages = scan.messages;
    scanner.setRetryPause(20);
    scanner.setConnections(4);
    scanner.ScanHost();
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
    QVERIFY2(scanner.stats().failed == 0, qPrintable(log.lines().filter("Could not list").join(u'\n')));
    QCOMPARE(scanner.stats().listed, 1 + 8 + 24);
    QVERIFY(!scanner.stats().terminated);
    QVERIFY(scanner.stats().connections >= 2);
    QVERIFY(scanner.stats().connections <= mostConnections);
    QVERIFY(server.receivedCommands().count("USER") > scanner.stats().connections); // lost ones were replaced
    if (scenario == "parallel-busy")
        QVERIFY(!log.lines().filter("The server refused another connection").isEmpty());
    const QStringList names = storedTreePaths(*m_cat);
    QCOMPARE(names, wideTree());
}

void tst_FolderWalk::mlsdNamesTheFolderOnlyWhereItIsHonoured_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("byPath");
    QTest::newRow("MLSD lists the folder it names") << "parallel-mlsd" << true;
    QTest::newRow("MLSD lists the current folder") << "parallel-mlsd-blind" << false;
    QTest::newRow("one folder refused by path") << "parallel-mlsd-long" << true;
    QTest::newRow("EPSV refused once") << "parallel-mlsd-epsv-once" << true;
}

// "MLSD /path" saves a CWD per folder; a server that ignores the path would
// store the top's listing under every folder, so each connection tries it
// once, and only where it lists what CWD and MLSD list does it stay.
void tst_FolderWalk::mlsdNamesTheFolderOnlyWhereItIsHonoured()
{
    QFETCH(QString, scenario);
    QFETCH(bool, byPath);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    ServerScan scan(server.hostText(), *m_cat);
    HostScanner &scanner = scan.scanner;
    Recorder &messages = scan.messages;
    scanner.setConnections(4);
    scanner.ScanHost();
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
    QCOMPARE(scanner.stats().failed, 0);
    const QStringList names = storedTreePaths(*m_cat);
    QCOMPARE(names, wideTree());
    // Only the facts a listing is read for.
    QVERIFY(server.receivedCommands().contains("OPTS MLST type;size;modify;unique;"));
    const QStringList withPath = server.receivedCommands().filter(QRegularExpression("^MLSD /."));
    const qsizetype trials = server.receivedCommands().count("USER");
    if (byPath)
        QVERIFY2(withPath.size() > 20, qPrintable(withPath.join(u',')));
    else
        QVERIFY2(withPath.size() <= trials, qPrintable(withPath.join(u','))); // one trial per connection
}

void tst_FolderWalk::cancelWithListingsInFlight_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("topLevel");
    QTest::newRow("pipelined") << "pipeline-stall" << 5;
    QTest::newRow("4 connections") << "parallel-stall" << 9;
}

// The server never answers the listings below the top level: Cancel,
// pressed from another thread as the view's button is, ends the scan at once.
void tst_FolderWalk::cancelWithListingsInFlight()
{
    QFETCH(QString, scenario);
    QFETCH(int, topLevel);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    ServerScan scan(server.hostText(), *m_cat);
    HostScanner &scanner = scan.scanner;
    ActivityLog &log = scan.log;
    scanner.setConnections(4);
    QElapsedTimer sinceCancel;
    std::thread button([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        sinceCancel.start();
        scanner.cancel();
    });
    scanner.ScanHost();
    const qint64 took = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
    button.join();
    QVERIFY2(took >= 0 && took < 1000, qPrintable(QString::number(took)));
    QCOMPARE(scanner.stats().pipelined, scenario.startsWith("pipeline"));
    QVERIFY(scanner.stats().cancelled);
    QCOMPARE(scanner.stats().listed, 1);
    QCOMPARE(scanner.stats().failed, 0); // folders cut short by Cancel are no fault of theirs
    QCOMPARE(m_cat->recordCount(), topLevel); // the top level, stored before Cancel
    QVERIFY(log.lines().contains("   Scan cancelled: what was found so far is stored"));
}

void tst_FolderWalk::depthLimitHoldsInEveryWalk_data()
{
    QTest::addColumn<bool>("pipelining");
    QTest::addColumn<int>("connections");
    QTest::newRow("one at a time") << false << 1;
    QTest::newRow("listings in flight") << true << 1;
    QTest::newRow("4 connections") << false << 4;
}

// The top and the folders in it are level 1, as catalogues and command
// lines rely on: a limit of 2 lists one level below those, stores its
// entries, and passes over the folders in them.
void tst_FolderWalk::depthLimitHoldsInEveryWalk()
{
    QFETCH(bool, pipelining);
    QFETCH(int, connections);
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("server not installed or not root");
    QTemporaryDir tree;
    for (const char *f : {"x.txt", "a/b/c/d.txt", "e/f/g.txt", "e/h.txt"})
        FtpTestServer::makeFile(tree.filePath(f), 3);
    FtpTestServer server{FtpTestServer::Kind::Vsftpd};
    QVERIFY(server.start(tree.path()));
    ServerScan scan(server.hostText(), *m_cat);
    HostScanner &scanner = scan.scanner;
    scanner.setLimits({2, 0});
    scanner.setPipelining(pipelining);
    scanner.setConnections(connections);
    scanner.ScanHost();
    QCOMPARE(scanner.stats().pipelined, pipelining);
    QCOMPARE(scanner.stats().listed, 5);
    QCOMPARE(scanner.stats().passedOver, 1);
    QVERIFY(scanner.stats().depthLimitReached);
    QCOMPARE(scan.log.lines().filter("Passed over"),
             QStringList{"   Passed over /a/b/c: deeper than the depth limit of 2 levels"});
    QCOMPARE(storedTreePaths(*m_cat),
             (QStringList{"a.<DIR>", "a.<DIR>/b.<DIR>", "a.<DIR>/b.<DIR>/c.<DIR>", "e.<DIR>", "e.<DIR>/f.<DIR>",
                          "e.<DIR>/f.<DIR>/g.txt", "e.<DIR>/h.txt", "x.txt"}));
}

QTEST_GUILESS_MAIN(tst_FolderWalk)
#include "tst_folderwalk.moc"
