#include "core/base/ActivityLog.h"
#include "core/catalogue/Catalogue.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/FtpConnection.h"
#include "FtpTestServer.h"
#include "core/scan/HostScanner.h"
#include "core/scan/HostSource.h"
#include "core/scan/ScanView.h"
#include "core/base/UserMessages.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

namespace {
struct FixedHost : HostSource
{
    QString host = "H";
    QString CurrentHost() override { return host; }
    QString CurrentUser() override { return {}; }
    QString CurrentPassword() override { return {}; }
};

struct Recorder : UserMessages
{
    QStringList shown;
    void showMessage(const QString &t) override { shown << t; }
};

// Records each pass as "progress|dirs|records" at its pump before the path is taken.
struct RecordingView : ScanView
{
    bool visible = false;
    qint64 progress = 50;
    QStringList passes;
    int dirs = 0;
    qint64 recs = 0;
    int cancelAtPump = -1;
    int pumps = 0;
    std::function<void()> cancel; // the view's Cancel button
    void showView() override { visible = true; }
    void hideView() override { visible = false; }
    void setProgress(qint64 p) override { progress = p; }
    void setCounts(int d, qint64 r) override { dirs = d; recs = r; }
    void repaintView() override { passes << QStringLiteral("%1|%2|%3").arg(progress).arg(dirs).arg(recs); }
    void pumpEvents() override
    {
        if (++pumps == cancelAtPump && cancel)
            cancel();
    }
};

// Listings from a table: path -> entries ("name/" is a folder).
struct ScriptedConnection : ScanConnection
{
    QMap<QByteArray, QStringList> tree;
    QByteArrayList listed;
    bool open = false;
    int dropAfter = -1;     // the connection is lost after this many listings
    int reconnectsLeft = 0; // how many reconnections succeed
    int reconnects = 0;
    std::function<void()> onList;
    void ConnectToHost() override { open = true; }
    void CloseConnection() override { open = false; }
    bool isConnected() const override { return open; }
    bool isAlive() override { return open; }
    bool reconnect() override
    {
        ++reconnects;
        open = reconnectsLeft-- > 0;
        return open;
    }
    FtpSession::Listing list(const QByteArray &path) override
    {
        if (onList)
            onList();
        if (!open || listed.size() == dropAfter) {
            open = false;
            dropAfter = -1;
            FtpSession::Listing lost;
            lost.error = "Connection lost";
            return lost;
        }
        listed << path;
        FtpSession::Listing l;
        l.ok = tree.contains(path);
        for (const QString &n : tree.value(path)) {
            FindData e;
            const bool dir = n.endsWith('/');
            e.setName(dir ? n.chopped(1) : n);
            e.wireName = e.name().toUtf8();
            e.dwFileAttributes = dir ? 16 : 128;
            l.entries << e;
        }
        if (!l.ok)
            l.error = "550 No such folder";
        return l;
    }
};
// The scanner and what it talks to, for scans over a scripted connection.
struct Rig
{
    ActivityLog log;
    FixedHost hosts;
    Recorder messages;
    RecordingView view;
    HostScanner scanner;
    Rig(ScanConnection &conn, Catalogue &cat)
        : scanner(conn, cat, log, hosts, messages, view)
    {
        scanner.setRetryPause(1);
        view.cancel = [this] { scanner.cancel(); };
    }
};
} // namespace

class tst_HostScanner : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void workedExample();
    void progressRounding_data();
    void progressRounding();
    void cancelAfterTheCurrentPass();
    void unlistableFolderIsLogged();
    void lostConnectionIsReopened();
    void lostConnectionForGood();
    void catalogueErrorEndsTheScanCleanly();
    void endsAreLoggedBeforeTheScanTimeLine();
    void noFolderRememberedAcrossScans();
    void realServers_data();
    void realServers();
    void pipelinedScanStoresWhatASerialScanStores();
    void pipelinedServersStayExact_data();
    void pipelinedServersStayExact();
    void cancelWithListingsInFlight();

private:
    QStringList storedRows();
    QStringList storedTree();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

void tst_HostScanner::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
}

QStringList tst_HostScanner::storedRows()
{
    QSqlQuery q(m_cat->database());
    q.exec("SELECT a.Name, a.ext, COALESCE(p.Name, '-') FROM DB a LEFT JOIN DB p ON p.ID = a.PID ORDER BY a.rowid");
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + "." + q.value(1).toString() + "@" + q.value(2).toString();
    return rows;
}

// Every row as its path from the top, with size and attributes: two scans
// that stored the same tree compare equal whatever IDs and order they used.
QStringList tst_HostScanner::storedTree()
{
    QSqlQuery q(m_cat->database());
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

void tst_HostScanner::workedExample()
{
    ScriptedConnection conn;
    conn.tree[""] = {"pub/", "readme.txt", "src/"};
    conn.tree["pub"] = {"a.txt", "docs/"};
    conn.tree["pub/docs"] = {"b.pdf"};
    conn.tree["src"] = {"c.zip"};
    bool rebuilt = false;
    Rig rig(conn, *m_cat);
    rig.scanner.setAfterScan([&] { rebuilt = true; });
    rig.scanner.ScanHost();
    QCOMPARE(rig.view.passes, (QStringList{"50|0|0", "75|2|3", "200|2|4", "200|3|6"}));
    QCOMPARE(conn.listed, (QByteArrayList{"", "src", "pub", "pub/docs"}));
    QCOMPARE(storedRows(), (QStringList{"pub.<DIR>@-", "readme.txt@-", "src.<DIR>@-", "c.zip@src",
                                        "a.txt@pub", "docs.<DIR>@pub", "b.pdf@docs"}));
    QVERIFY(!rig.view.visible);
    QVERIFY(!conn.open);
    QVERIFY(rebuilt);
    QVERIFY(rig.messages.shown.isEmpty());

    conn.listed.clear();
    rig.scanner.ScanHost();
    QCOMPARE(m_cat->recordCount(), 7);
}

void tst_HostScanner::progressRounding_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("dirs");
    QTest::addColumn<int>("pending");
    QTest::addColumn<int>("position");
    QTest::newRow("62.5 to even") << 5 << 2 << 4 << 62;
    QTest::newRow("87.5 to even") << 7 << 2 << 4 << 88;
    QTest::newRow("75") << 3 << 2 << 2 << 75;
    QTest::newRow("above the maximum") << 4 << 2 << 1 << 200;
}

void tst_HostScanner::progressRounding()
{
    QFETCH(int, entries);
    QFETCH(int, dirs);
    QFETCH(int, pending);
    QFETCH(int, position);
    QCOMPARE(HostScanner::progressPosition(entries, dirs, pending, 100), qint64(position));
}

void tst_HostScanner::cancelAfterTheCurrentPass()
{
    ScriptedConnection conn;
    conn.tree[""] = {"pub/", "readme.txt", "src/"};
    conn.tree["pub"] = {"a.txt"};
    conn.tree["src"] = {"c.zip"};
    Rig rig(conn, *m_cat);
    rig.view.cancelAtPump = 1; // Cancel served at the first pass's first pump
    rig.scanner.ScanHost();
    QCOMPARE(conn.listed, QByteArrayList{""});
    QCOMPARE(m_cat->recordCount(), 3);
}

void tst_HostScanner::unlistableFolderIsLogged()
{
    ScriptedConnection conn;
    conn.tree[""] = {"locked/", "open/"};
    conn.tree["open"] = {"x.txt"};
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QCOMPARE(rig.scanner.stats().failed, 1);
    QVERIFY(rig.log.lines().contains("   Could not list /locked: 550 No such folder"));
    QCOMPARE(rig.log.lines().last(), QString("   Folders that could not be listed: 1"));
    QCOMPARE(m_cat->recordCount(), 3);
}

void tst_HostScanner::lostConnectionIsReopened()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a/", "b/"};
    conn.tree["a"] = {"x.txt"};
    conn.tree["b"] = {"y.txt"};
    conn.dropAfter = 1;
    conn.reconnectsLeft = 1;
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QCOMPARE(conn.reconnects, 1);
    QCOMPARE(conn.listed, (QByteArrayList{"", "b", "a"}));
    QCOMPARE(m_cat->recordCount(), 4);
    QVERIFY(rig.messages.shown.isEmpty());
}

void tst_HostScanner::lostConnectionForGood()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a/", "b/", "c/", "d/"};
    conn.dropAfter = 1;
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QCOMPARE(rig.messages.shown, QStringList{"Terminated"}); // once, not once per folder left
    QCOMPARE(conn.reconnects, HostScanner::ReconnectTries);
    QVERIFY(rig.scanner.stats().terminated);
    QCOMPARE(m_cat->recordCount(), 4); // what was stored stays
    QVERIFY(!rig.view.visible);
}

void tst_HostScanner::catalogueErrorEndsTheScanCleanly()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a/", "b/"};
    conn.tree["b"] = {"y.txt"};
    conn.onList = [&] {
        if (conn.listed.size() == 1)
            m_cat->close(); // the table goes away under the scan
    };
    bool rebuilt = false;
    Rig rig(conn, *m_cat);
    rig.scanner.setAfterScan([&] { rebuilt = true; });
    rig.scanner.ScanHost();
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(!conn.open);
    QVERIFY(!rig.view.visible);
    QVERIFY(rebuilt);
    QVERIFY(!rig.scanner.isRunning());
}

// Each way a scan can end short says so in a line of its own.
void tst_HostScanner::endsAreLoggedBeforeTheScanTimeLine()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a/", "b/"};
    conn.tree["a"] = {"x.txt"};
    conn.tree["b"] = {"y.txt"};
    {
        Rig rig(conn, *m_cat);
        rig.view.cancelAtPump = 1;
        rig.scanner.ScanHost();
        QVERIFY(rig.scanner.stats().cancelled);
        QCOMPARE(rig.log.lines().filter("   Scan cancelled").size(), 1);
    }
    {
        conn.dropAfter = 1;
        Rig rig(conn, *m_cat);
        rig.scanner.ScanHost();
        QVERIFY2(rig.log.lines().contains("   Scan stopped: the connection to H was lost"), qPrintable(rig.log.lines().join("|")));
    }
    {
        struct Refusing : ScriptedConnection
        {
            void ConnectToHost() override { open = false; }
        } refusing;
        Rig rig(refusing, *m_cat);
        rig.scanner.ScanHost();
        QVERIFY(!rig.scanner.stats().loggedOn);
        QCOMPARE(rig.log.lines(), QStringList{"   Scan stopped: could not log on to H"});
    }
}

// A folder's children remembered by one scan would hide rows deleted since.
void tst_HostScanner::noFolderRememberedAcrossScans()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a.txt", "b.txt"};
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QCOMPARE(m_cat->recordCount(), 2);
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("DELETE FROM DB"));
    rig.scanner.ScanHost();
    QCOMPARE(m_cat->recordCount(), 2);
}

void tst_HostScanner::realServers_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("vsftpd") << int(FtpTestServer::Kind::Vsftpd);
    QTest::newRow("pyftpdlib") << int(FtpTestServer::Kind::Pyftpdlib);
}

void tst_HostScanner::realServers()
{
    QFETCH(int, kind);
    if (!FtpTestServer::available(FtpTestServer::Kind(kind)))
        QSKIP("server not installed or not root");
    QTemporaryDir tree;
    const QStringList files = {"readme.txt", "pub/readme.txt", "pub/lib/a.c", "src/lib/b.c", "with space/x y.tar.gz",
                               QString::fromUtf8("Документы/отчёт.doc"), "pub/deep/er/est/file.bin", ".env"};
    for (int i = 0; i < files.size(); ++i)
        FtpTestServer::makeFile(tree.filePath(files[i]), 100 + i);
    QDir(tree.path()).mkpath("empty");
    QFile::link(tree.filePath("pub"), tree.filePath("pub/deep/back"));
    FtpTestServer server{FtpTestServer::Kind(kind)};
    QVERIFY(server.start(tree.path()));

    ActivityLog log;
    ElapsedCounter timeConnect;
    FixedHost hosts;
    hosts.host = server.hostText();
    Recorder messages;
    RecordingView view;
    FtpConnection conn(log, timeConnect, hosts, messages);
    HostScanner scanner(conn, *m_cat, log, hosts, messages, view);
    scanner.ScanHost();
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
    QCOMPARE(scanner.stats().failed, 0);

    // Every file and folder of the tree, with its parent and size.
    QStringList expected;
    QDirIterator it(tree.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(tree.path()).relativeFilePath(it.filePath());
        if (rel.startsWith("pub/deep/back/"))
            continue;
        expected << rel;
    }
    QSqlQuery q(m_cat->database());
    q.exec("SELECT ID, PID, Name, ext, Size, Attr FROM DB");
    QMap<qint32, QPair<qint32, QString>> rows;
    QMap<QString, double> sizes;
    while (q.next()) {
        const QString ext = q.value(3).toString();
        const QString name = q.value(2).toString() + (ext.isEmpty() || ext == "<DIR>" ? "" : "." + ext);
        rows.insert(q.value(0).toInt(), {q.value(1).toInt(), name});
    }
    QStringList stored;
    for (auto r = rows.cbegin(); r != rows.cend(); ++r) {
        QString path = r->second;
        for (qint32 p = r->first; p != 0; p = rows[p].first)
            path = rows[p].second + "/" + path;
        stored << path;
    }
    expected.sort();
    stored.sort();
    QCOMPARE(stored, expected);

    const qint64 count = m_cat->recordCount();
    scanner.ScanHost();
    QCOMPARE(m_cat->recordCount(), count);
    QStringList order;
    for (const QString &l : log.lines())
        order << l.section("    ", 0, 0).left(22);
    QCOMPARE(order.filter("Connecting").size(), 2);
    QVERIFY(log.lines().filter("Passed over").size() <= 2);
}

// The same tree through a scan with listings in flight and through one a
// listing at a time: the same rows, and the rescan stores nothing new.
void tst_HostScanner::pipelinedScanStoresWhatASerialScanStores()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd tests need root and /usr/sbin/vsftpd");
    QTemporaryDir tree;
    for (const char *f : {"readme.txt", "a?b/q.txt", "axb/x.txt", "a*b/star.txt", "sp ace/in/deep.txt", ".hid/h.txt"})
        FtpTestServer::makeFile(tree.filePath(QString::fromUtf8(f)), 7);
    for (int i = 0; i < 60; ++i) // wider than the first window
        FtpTestServer::makeFile(tree.filePath(QStringLiteral("wide/w%1/sub/f%1.txt").arg(i)), i);
    QDir(tree.path()).mkpath("empty");
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.start(tree.path()));

    QStringList trees[2];
    for (const bool pipelining : {false, true}) {
        init();
        ActivityLog log;
        ElapsedCounter timeConnect;
        FixedHost hosts;
        hosts.host = server.hostText();
        Recorder messages;
        RecordingView view;
        FtpConnection conn(log, timeConnect, hosts, messages);
        HostScanner scanner(conn, *m_cat, log, hosts, messages, view);
        scanner.setPipelining(pipelining);
        scanner.ScanHost();
        QCOMPARE(scanner.stats().pipelined, pipelining);
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
        QCOMPARE(scanner.stats().failed, 0);
        QCOMPARE(scanner.stats().listed, 1 + 6 + 1 + 2 * 60 + 1);
        trees[pipelining] = storedTree();
        const qint64 count = m_cat->recordCount();
        scanner.ScanHost();
        QCOMPARE(m_cat->recordCount(), count);
        QCOMPARE(view.dirs, scanner.stats().directories);
    }
    QCOMPARE(trees[1], trees[0]);
    QVERIFY(trees[1].contains("a?b.<DIR>/q.txt|7|128")); // entered by its name, not as a pattern
    QVERIFY(trees[1].contains("a*b.<DIR>/star.txt|7|128"));
}

void tst_HostScanner::pipelinedServersStayExact_data()
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
void tst_HostScanner::pipelinedServersStayExact()
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
    scanner.ScanHost();
    QCOMPARE(scanner.stats().pipelined, pipelined);
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
    QCOMPARE(scanner.stats().failed, 0);
    QCOMPARE(scanner.stats().listed, 7);
    QCOMPARE(server.receivedCommands().count("USER"), logons);
    QStringList names;
    for (const QString &row : storedTree())
        names << row.section('|', 0, 0);
    QStringList expected{"a*b.<DIR>", "a*b.<DIR>/star.txt", "a?b.<DIR>", "a?b.<DIR>/only-in-a-question-b.txt",
                                 "axb.<DIR>", "axb.<DIR>/x.txt", "one.<DIR>", "one.<DIR>/1.txt", "one.<DIR>/two.<DIR>",
                                 "one.<DIR>/two.<DIR>/2.txt", "one.<DIR>/two.<DIR>/three.<DIR>",
                                 "one.<DIR>/two.<DIR>/three.<DIR>/3.txt", "top.txt"};
    expected.sort();
    names.sort();
    QCOMPARE(names, expected);
}

// The server never answers the pipelined listings: Cancel, pressed from
// another thread as the view's button is, ends the scan at once.
void tst_HostScanner::cancelWithListingsInFlight()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(QStringLiteral("pipeline-stall")));
    ActivityLog log;
    ElapsedCounter timeConnect;
    FixedHost hosts;
    hosts.host = server.hostText();
    Recorder messages;
    RecordingView view;
    FtpConnection conn(log, timeConnect, hosts, messages);
    HostScanner scanner(conn, *m_cat, log, hosts, messages, view);
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
    QVERIFY(scanner.stats().pipelined);
    QVERIFY(scanner.stats().cancelled);
    QCOMPARE(scanner.stats().listed, 1);
    QCOMPARE(scanner.stats().failed, 0); // folders cut short by Cancel are no fault of theirs
    QCOMPARE(m_cat->recordCount(), 5); // the top level, stored before Cancel
    QVERIFY(log.lines().contains("   Scan cancelled: what was found so far is stored"));
}

QTEST_GUILESS_MAIN(tst_HostScanner)
#include "tst_hostscanner.moc"
