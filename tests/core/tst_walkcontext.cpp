#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/PendingFolders.h"
#include "core/scan/FtpConnection.h"
#include "core/scan/HostScanner.h"
#include "FtpTestServer.h"
#include "ScanTestDoubles.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// What a scan does with what servers list: names that are no plain names,
// folders that list like one above them, how often each folder is listed,
// and how much the log says of the folders passed over.
namespace {
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
        hosts.host = hostText;
    }
};

// Each row as its parent's path and its own name as stored, "/"-joined:
// a name that holds "/" shows as such, never as two steps.
QStringList storedRows(Catalogue &cat)
{
    QSqlQuery q(cat.database());
    q.exec("SELECT ID, PID, Name, ext FROM DB");
    QMap<qint32, QPair<qint32, QString>> rows;
    while (q.next()) {
        const QString ext = q.value(3).toString();
        const QString name = q.value(2).toString() + (ext.isEmpty() || ext == "<DIR>" ? QString() : "." + ext);
        rows.insert(q.value(0).toInt(), {q.value(1).toInt(), name});
    }
    QStringList out;
    for (auto r = rows.cbegin(); r != rows.cend(); ++r) {
        QString path = r->second;
        for (qint32 p = r->first; p != 0; p = rows.value(p, {0, "?"}).first)
            path = rows.value(p, {0, "?"}).second + "|" + path;
        out << path;
    }
    out.sort();
    return out;
}

// Each row's path and size, for comparing two catalogues of one tree.
QStringList rowsWithSizes(Catalogue &cat)
{
    QStringList names = storedRows(cat);
    QSqlQuery q(cat.database());
    q.exec("SELECT SUM(Size + 0.0), COUNT(*) FROM DB");
    q.next();
    names << QStringLiteral("total %1 in %2").arg(q.value(0).toLongLong()).arg(q.value(1).toLongLong());
    return names;
}

// 4 folders of 5 of 4: 104 folders below the top, two files in each.
int makeTree(const QString &root)
{
    int folders = 0;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 5; ++j) {
            for (int k = 0; k < 4; ++k) {
                const QString leaf = QStringLiteral("%1/d%2/e%3/f%4").arg(root).arg(i).arg(j).arg(k);
                FtpTestServer::makeFile(leaf + "/a.bin", 10 + k);
                FtpTestServer::makeFile(leaf + "/b.txt", 20 + j);
                ++folders;
            }
            FtpTestServer::makeFile(QStringLiteral("%1/d%2/e%3/x.txt").arg(root).arg(i).arg(j), 3);
            ++folders;
        }
        ++folders;
    }
    return folders + 1; // and the top
}

QStringList waitingPaths(Catalogue &cat, const QString &host)
{
    QSqlQuery q(cat.database());
    q.prepare("SELECT Path FROM PendingFolder WHERE Host = ? ORDER BY Seq");
    q.addBindValue(host);
    q.exec();
    QStringList out;
    while (q.next())
        out << QString::fromUtf8(q.value(0).toByteArray());
    return out;
}

// Commands that ask for a listing, on data connections or the control one.
qsizetype listingCommands(const QStringList &commands)
{
    return commands.filter(QRegularExpression("^(LIST|MLSD|STAT)( |$)")).size();
}
} // namespace

class tst_WalkContext : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void hostileNamesAreStoredNeverSent_data();
    void hostileNamesAreStoredNeverSent();
    void eachFolderListedOnce_data();
    void eachFolderListedOnce();
    void foldersListingAsOneAboveAreNotEntered_data();
    void foldersListingAsOneAboveAreNotEntered();
    void passedOverLinesStopAtTen();
    void anInterruptedScanResumes_data();
    void anInterruptedScanResumes();
    void startingOverListsEverything();
    void removalsWaitForTheWholeWalk();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

void tst_WalkContext::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
}

void tst_WalkContext::hostileNamesAreStoredNeverSent_data()
{
    QTest::addColumn<int>("connections");
    QTest::newRow("1 connection") << 1;
    QTest::newRow("4 connections") << 4;
}

// The server resolves paths as a file system does: a client that sent a
// listed "../../escape" or "a/b" would store another folder's files.
void tst_WalkContext::hostileNamesAreStoredNeverSent()
{
    QFETCH(int, connections);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted("escape"));
    ServerScan scan(server.hostText(), *m_cat);
    scan.scanner.setConnections(connections);
    scan.scanner.ScanHost();
    QVERIFY2(scan.messages.shown.isEmpty(), qPrintable(scan.messages.shown.join(';')));
    QCOMPARE(scan.scanner.stats().failed, 0);
    // The catalogue shows a control byte as its visible symbol, as it always has.
    QCOMPARE(storedRows(*m_cat), (QStringList{"../../escape", "a/b", QStringLiteral("cr\u240Dname"), "pub",
                                              "pub|inner.txt", "readme"}));
    QCOMPARE(scan.scanner.stats().passedOver, 3);
    const QStringList sent = server.receivedCommands().filter(QRegularExpression("^ARG "));
    QVERIFY(!sent.isEmpty());
    for (const QString &line : sent) {
        QVERIFY2(!line.contains("escape") && !line.contains("a/b") && !line.contains("cr\\r")
                     && !line.contains(".."),
                 qPrintable(line));
    }
    const QStringList logged = scan.log.lines().filter("Passed over");
    QCOMPARE(logged.size(), 3);
    QVERIFY2(!logged.filter("holds \"/\"").isEmpty(), qPrintable(logged.join('\n')));
    QVERIFY2(!logged.filter("NUL, CR or LF").isEmpty(), qPrintable(logged.join('\n')));
}

void tst_WalkContext::eachFolderListedOnce_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("most");
    // 1 + 8 + 24 folders; LIST servers are asked for STAT once, MLSD ones
    // for both forms of STAT once, and list one folder both ways once.
    QTest::newRow("LIST, 1 connection") << "parallel" << 1 << 34;
    QTest::newRow("LIST, 4 connections") << "parallel" << 4 << 34;
    QTest::newRow("MLSD, 1 connection") << "parallel-mlsd" << 1 << 36;
    QTest::newRow("MLSD, 4 connections") << "parallel-mlsd" << 4 << 36;
}

// Learning how a server lists costs a scan one listing at most: the top's
// listing made to choose the method is the scan's, and what the first
// connection learnt the others are given.
void tst_WalkContext::eachFolderListedOnce()
{
    QFETCH(QString, scenario);
    QFETCH(int, connections);
    QFETCH(int, most);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    ServerScan scan(server.hostText(), *m_cat);
    scan.scanner.setConnections(connections);
    scan.scanner.ScanHost();
    QCOMPARE(scan.scanner.stats().failed, 0);
    QCOMPARE(scan.scanner.stats().listed, 33);
    const qsizetype asked = listingCommands(server.receivedCommands());
    qDebug("%lld listing commands for 33 folders over %d connections", qint64(asked), connections);
    QVERIFY2(asked >= 33 && asked <= most, qPrintable(server.receivedCommands().join(',')));
}

void tst_WalkContext::foldersListingAsOneAboveAreNotEntered_data()
{
    QTest::addColumn<int>("connections");
    QTest::newRow("1 connection") << 1;
    QTest::newRow("4 connections") << 4;
}

// "self -> ." and "up -> .." list as the folder and its parent, with no
// fact to tell them apart. ls gives this server's times to the minute, so a
// folder that lists as one above it is entered until the fourth on the way
// down, then stored, listed once, and not entered: the loop costs a few
// copies of the tree, never an endless walk.
void tst_WalkContext::foldersListingAsOneAboveAreNotEntered()
{
    QFETCH(int, connections);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted("loops"));
    ServerScan scan(server.hostText(), *m_cat);
    scan.scanner.setConnections(connections);
    scan.scanner.ScanHost();
    QVERIFY2(scan.scanner.stats().loggedOn, qPrintable(scan.log.lines().join('\n')));
    QCOMPARE(scan.scanner.stats().failed, 0);
    const QStringList rows = storedRows(*m_cat);
    for (const char *row : {"a", "a|b", "a|b|in-b.txt", "a|in-a.txt", "a|self", "a|up", "top.txt"})
        QVERIFY2(rows.contains(row), row);
    QVERIFY2(rows.size() < 60, qPrintable(rows.join(' ')));
    const QStringList logged = scan.log.lines().filter("Passed over");
    QVERIFY2(!logged.isEmpty() && logged.filter("link back up the tree").size() == logged.size(),
             qPrintable(logged.join('\n')));
    QVERIFY(listingCommands(server.receivedCommands()) <= scan.scanner.stats().listed + 1);
    QVERIFY(scan.scanner.stats().listed < 30);
}

// A tree too deep everywhere: ten folders named, the rest counted once.
void tst_WalkContext::passedOverLinesStopAtTen()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("server not installed or not root");
    QTemporaryDir tree;
    for (int i = 0; i < 14; ++i)
        FtpTestServer::makeFile(tree.filePath(QStringLiteral("d%1/deeper/f.txt").arg(i)), 3);
    FtpTestServer server{FtpTestServer::Kind::Vsftpd};
    QVERIFY(server.start(tree.path()));
    ServerScan scan(server.hostText(), *m_cat);
    scan.scanner.setLimits({1, 0});
    scan.scanner.ScanHost();
    QCOMPARE(scan.scanner.stats().passedOver, 14);
    QCOMPARE(scan.log.lines().filter("   Passed over").size(), 10);
    QCOMPARE(scan.log.lines().filter("Folders passed over: 14 (the first 10 are named above)").size(), 1);
    QCOMPARE(scan.log.lines().filter("([SCAN] Max Depth, --max-depth)").size(), 1);
}

void tst_WalkContext::anInterruptedScanResumes_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<int>("connections");
    QTest::addColumn<bool>("lose");
    const int vsftpd = int(FtpTestServer::Kind::Vsftpd), py = int(FtpTestServer::Kind::Pyftpdlib);
    QTest::newRow("Cancel, listings in flight") << vsftpd << 1 << false;
    QTest::newRow("Cancel, one listing at a time") << py << 1 << false;
    QTest::newRow("Cancel, 4 connections") << py << 4 << false;
    QTest::newRow("server gone, one listing at a time") << py << 1 << true;
    QTest::newRow("server gone, 4 connections") << py << 4 << true;
}

// Cut short by Cancel or by a server gone for good, a scan leaves its
// folders still to list; the next scan lists only those, and what it finds
// is what one whole scan of the tree, as it is now, finds. One folder that
// waits is changed in between.
void tst_WalkContext::anInterruptedScanResumes()
{
    QFETCH(int, server);
    QFETCH(int, connections);
    QFETCH(bool, lose);
    const auto kind = FtpTestServer::Kind(server);
    if (!FtpTestServer::available(kind))
        QSKIP("server not installed or not root");
    QTemporaryDir tree;
    const int folders = makeTree(tree.path());
    auto ftp = std::make_unique<FtpTestServer>(kind);
    QVERIFY(ftp->start(tree.path()));
    const quint16 port = ftp->port();
    const QString host = ftp->hostText();
    ScanStats first;
    {
        ServerScan scan(host, *m_cat);
        scan.scanner.setConnections(connections);
        scan.scanner.setRetryPause(10);
        scan.view.cancelAtPump = 30;
        scan.view.cancel = [&] { lose ? ftp->stop() : scan.scanner.cancel(); };
        scan.scanner.ScanHost();
        first = scan.scanner.stats();
    }
    QVERIFY2(first.cancelled || first.terminated, "the scan was not cut short");
    const QStringList waiting = waitingPaths(*m_cat, host);
    QVERIFY(!waiting.isEmpty());
    QVERIFY2(first.listed > 0 && first.listed < folders, qPrintable(QString::number(first.listed)));
    // A folder still to list changes: the resumed scan sees it as it is now.
    const QString changed = tree.filePath(waiting.last());
    FtpTestServer::makeFile(changed + "/new.dat", 77);
    QFile::remove(changed + "/x.txt");
    QFile::remove(changed + "/a.bin");
    if (lose) {
        ftp = std::make_unique<FtpTestServer>(kind);
        ftp->setPort(port);
        QVERIFY(ftp->start(tree.path()));
    }
    ServerScan again(host, *m_cat);
    again.scanner.setConnections(connections);
    again.scanner.ScanHost();
    const ScanStats second = again.scanner.stats();
    QVERIFY2(again.log.lines().filter(QStringLiteral("Resuming the scan of %1: %2 folders left").arg(host).arg(waiting.size()))
                 .size() == 1,
             qPrintable(again.log.lines().join('\n')));
    QCOMPARE(second.failed, 0);
    // No folder stored before is listed again.
    QCOMPARE(first.listed + second.listed, folders);
    QVERIFY(waitingPaths(*m_cat, host).isEmpty());

    QTemporaryDir otherDir;
    Catalogue whole;
    whole.open(otherDir.filePath("DB"));
    ServerScan once(host, whole);
    once.scanner.setConnections(connections);
    once.scanner.ScanHost();
    QCOMPARE(rowsWithSizes(*m_cat), rowsWithSizes(whole));
}

// --restart, or "Start over": the folders left are forgotten and the whole
// tree is listed.
void tst_WalkContext::startingOverListsEverything()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    QTemporaryDir tree;
    const int folders = makeTree(tree.path());
    FtpTestServer ftp(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(ftp.start(tree.path()));
    {
        ServerScan scan(ftp.hostText(), *m_cat);
        scan.view.cancelAtPump = 30;
        scan.view.cancel = [&] { scan.scanner.cancel(); };
        scan.scanner.ScanHost();
    }
    QVERIFY(!waitingPaths(*m_cat, ftp.hostText()).isEmpty());
    ServerScan again(ftp.hostText(), *m_cat);
    again.scanner.setResume(false);
    again.scanner.ScanHost();
    QCOMPARE(again.scanner.stats().listed, folders);
    QVERIFY(again.log.lines().filter("Resuming").isEmpty());
    QVERIFY(waitingPaths(*m_cat, ftp.hostText()).isEmpty());
}

// A rescan cut short removes nothing, even where a folder it listed lost a
// file; the part that completes the walk removes what every part missed.
void tst_WalkContext::removalsWaitForTheWholeWalk()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    QTemporaryDir tree;
    makeTree(tree.path());
    FtpTestServer ftp(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(ftp.start(tree.path()));
    {
        ServerScan scan(ftp.hostText(), *m_cat);
        scan.scanner.ScanHost();
        QCOMPARE(scan.scanner.stats().failed, 0);
    }
    const QStringList before = storedRows(*m_cat);
    // Listed early (deepest first from the last found) and late.
    QVERIFY(QFile::remove(tree.filePath("d3/e4/f3/a.bin")));
    QVERIFY(QFile::remove(tree.filePath("d0/e0/f0/b.txt")));
    {
        ServerScan scan(ftp.hostText(), *m_cat);
        scan.scanner.setConnections(1);
        scan.view.cancelAtPump = 60;
        scan.view.cancel = [&] { scan.scanner.cancel(); };
        scan.scanner.ScanHost();
        QVERIFY(scan.scanner.stats().cancelled);
        QCOMPARE(scan.scanner.stats().removed, 0);
    }
    QCOMPARE(storedRows(*m_cat), before);
    ServerScan again(ftp.hostText(), *m_cat);
    again.scanner.setConnections(1);
    again.scanner.ScanHost();
    QCOMPARE(again.scanner.stats().removed, 2);
    QStringList expected = before;
    expected.removeAll("d3|e4|f3|a.bin");
    expected.removeAll("d0|e0|f0|b.txt");
    QCOMPARE(storedRows(*m_cat), expected);
}

QTEST_GUILESS_MAIN(tst_WalkContext)
#include "tst_walkcontext.moc"
