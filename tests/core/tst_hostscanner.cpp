#include "core/base/ActivityLog.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanRuns.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/FtpConnection.h"
#include "FtpTestServer.h"
#include "core/scan/HostScanner.h"
#include "core/catalogue/LineageWalk.h"
#include "core/catalogue/ScanChanges.h"
#include "ScanTestDoubles.h"

#include <QDirIterator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {
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
    FtpSession::Refusal refused = FtpSession::Refusal::None;
    void ConnectToHost() override { open = refused == FtpSession::Refusal::None; }
    FtpSession::Refusal refusal() const override { return refused; }
    QString failureReason() const override { return open ? QString() : QStringLiteral("log-on refused"); }
    QString greeting() const override { return QStringLiteral("220 scripted"); }
    QString listingMethod() const override { return QStringLiteral("MLSD"); }
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
        // "name=size" gives a file its size; "name/@U" a folder the unique fact U.
        for (const QString &item : tree.value(path)) {
            FileEntry e;
            const QString n = item.section('=', 0, 0).section('@', 0, 0);
            const bool dir = n.endsWith('/');
            e.name = dir ? n.chopped(1) : n;
            e.size = item.section('=', 1).toULongLong();
            e.unique = item.section('@', 1).toUtf8();
            e.wireName = e.name.toUtf8();
            e.kind = dir ? FileEntry::Kind::Directory : FileEntry::Kind::File;
            l.entries << e;
        }
        if (!l.ok)
            l.error = "550 No such folder";
        return l;
    }
    QByteArrayList links; // paths LIST shows as links
    FtpSession::Listing listWithModes(const QByteArray &path) override
    {
        listedWithModes << path;
        FtpSession::Listing l = list(path);
        listed.removeLast();
        for (FileEntry &e : l.entries) {
            const QByteArray child = path.isEmpty() ? e.wireName : path + '/' + e.wireName;
            if (links.contains(child))
                e.kind = FileEntry::Kind::Link;
        }
        return l;
    }
    QByteArrayList listedWithModes;
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
// The scanner over a real connection to a test server.
struct ServerRig
{
    ActivityLog log;
    ElapsedCounter timeConnect;
    FixedHost hosts;
    Recorder messages;
    RecordingView view;
    FtpConnection conn{log, timeConnect, hosts, messages};
    HostScanner scanner;
    ServerRig(const QString &hostText, Catalogue &cat)
        : scanner(conn, cat, log, hosts, messages, view)
    {
        hosts.host = hostText;
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
    void rescansKeepTheCatalogueTrue();
    void failedScanLeavesNoChangesToTheNext();
    void rescansThatEndEarlyRemoveNothing_data();
    void rescansThatEndEarlyRemoveNothing();
    void everyListedNameOnceOnRealServers_data();
    void everyListedNameOnceOnRealServers();
    void linkMetBeforeItsFolder();
    void linksShownAsFolders();
    void rescansByAnotherListingFindNoChange();
    void alikeFoldersListedByStatAreEntered();
    void everyEndIsRecorded_data();
    void everyEndIsRecorded();
    void changesOfOlderRunsGo();

private:
    QStringList storedRows();
    QByteArrayList storedPaths();
    QStringList lastChanges();
    QStringList lastChangeKinds();
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

QByteArrayList tst_HostScanner::storedPaths()
{
    QSqlQuery q(m_cat->database());
    q.exec("SELECT ID FROM DB");
    LineageWalk walk(*m_cat);
    QByteArrayList paths;
    while (q.next())
        paths << walk.exactPathBytes(*m_cat->recordById(q.value(0).toInt()));
    std::sort(paths.begin(), paths.end());
    return paths;
}

QStringList tst_HostScanner::lastChanges()
{
    LineageWalk walk(*m_cat);
    QStringList changes;
    for (const ScanChanges::Change &c : ScanChanges::last(*m_cat, "H")) {
        const QByteArray path =
            c.kind == ScanChanges::Kind::Removed ? c.path : walk.exactPathBytes(*m_cat->recordById(c.id));
        changes << ScanChanges::kindText(c.kind) + " " + QString::fromUtf8(path);
    }
    changes.sort();
    return changes;
}

// The kinds of the last scan's change lines, in the order they were written.
QStringList tst_HostScanner::lastChangeKinds()
{
    QStringList kinds;
    for (const ScanChanges::Change &c : ScanChanges::last(*m_cat, "H"))
        kinds << ScanChanges::kindText(c.kind);
    return kinds;
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
    QVERIFY(rig.log.lines().contains("   Folders that could not be listed: 1"));
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

    ServerRig rig(server.hostText(), *m_cat);
    ActivityLog &log = rig.log;
    Recorder &messages = rig.messages;
    HostScanner &scanner = rig.scanner;
    scanner.ScanHost();
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
    QVERIFY2(scanner.stats().failed == 0, qPrintable(log.lines().filter("Could not list").join(u'\n')));

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

void tst_HostScanner::rescansKeepTheCatalogueTrue()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a.txt=10", "b.txt=5", "old/", "locked/", "keep/"};
    conn.tree["old"] = {"o1.txt", "sub/"};
    conn.tree["old/sub"] = {"o2"};
    conn.tree["locked"] = {"l.txt"};
    conn.tree["keep"] = {"k.txt"};
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QCOMPARE(rig.scanner.stats().added, 10);
    QCOMPARE(lastChanges().size(), 10);

    // a.txt grew, b.txt and the folder old went, locked can no longer be listed.
    conn.tree[""] = {"a.txt=20", "locked/", "keep/", "new.txt"};
    conn.tree.remove("old");
    conn.tree.remove("old/sub");
    conn.tree.remove("locked");
    rig.scanner.ScanHost();
    QCOMPARE(rig.scanner.stats().added, 1);
    QCOMPARE(rig.scanner.stats().changed, 1);
    QCOMPARE(rig.scanner.stats().removed, 5);
    QCOMPARE(lastChanges(), (QStringList{"added new.txt", "changed a.txt", "removed b.txt", "removed old",
                                         "removed old/o1.txt", "removed old/sub", "removed old/sub/o2"}));
    // In the order the walk met them; removals come after it.
    QCOMPARE(lastChangeKinds(),
             (QStringList{"changed", "added", "removed", "removed", "removed", "removed", "removed"}));
    QCOMPARE(storedPaths(), (QByteArrayList{"a.txt", "keep", "keep/k.txt", "locked", "locked/l.txt", "new.txt"}));
    QVERIFY(rig.log.lines().contains("   Added 1, changed 1, removed 5"));
    // What the changed and removed rows held before.
    QHash<QByteArray, QVariant> oldSizes;
    for (const ScanChanges::Change &c : ScanChanges::last(*m_cat, "H"))
        oldSizes.insert(c.kind == ScanChanges::Kind::Removed ? c.path : QByteArray(ScanChanges::kindText(c.kind).toLatin1()),
                        c.oldSize);
    QCOMPARE(oldSizes.value("changed").toLongLong(), 10);
    QCOMPARE(oldSizes.value("b.txt").toLongLong(), 5);
    QVERIFY(oldSizes.value("added").isNull());
    QSqlQuery q(m_cat->database());
    q.exec("SELECT Size FROM DB WHERE Name = 'a'");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDouble(), 20.0);

    rig.scanner.ScanHost();
    QCOMPARE(rig.scanner.stats().added + rig.scanner.stats().changed + rig.scanner.stats().removed, 0);
    QVERIFY(lastChanges().isEmpty());
    QCOMPARE(m_cat->recordCount(), 6);
}

// A scan the catalogue stopped halfway: what it stored stays, and its change
// lines are not taken for those of the next scan of the host.
void tst_HostScanner::failedScanLeavesNoChangesToTheNext()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a/", "x.txt"};
    conn.tree["a"] = {"x.txt"};
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("CREATE UNIQUE INDEX user_names ON DB(Name)"));
    q.finish();
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QVERIFY(rig.scanner.stats().catalogueFailed);
    QVERIFY(q.exec("DROP INDEX user_names"));
    q.finish();
    rig.scanner.ScanHost();
    QVERIFY(!rig.scanner.stats().catalogueFailed);
    QCOMPARE(rig.scanner.stats().added, 1);
    // The scan carried on from the failed one: together they are one scan.
    QCOMPARE(lastChanges(), (QStringList{"added a", "added a/x.txt", "added x.txt"}));
    rig.scanner.setResume(false);
    rig.scanner.ScanHost();
    QCOMPARE(lastChanges(), QStringList());
}

void tst_HostScanner::rescansThatEndEarlyRemoveNothing_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("cancelled") << true;
    QTest::newRow("connection lost") << false;
}

void tst_HostScanner::rescansThatEndEarlyRemoveNothing()
{
    QFETCH(bool, cancelled);
    ScriptedConnection conn;
    conn.tree[""] = {"a.txt=10", "b.txt", "d/", "e/"};
    conn.tree["d"] = {"x"};
    conn.tree["e"] = {"y"};
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    conn.tree[""] = {"a.txt=30", "d/", "e/"};
    conn.tree["e"] = {};
    conn.listed.clear();
    if (cancelled)
        rig.view.cancelAtPump = rig.view.pumps + 2; // after the top level's listing opened
    else
        conn.dropAfter = 2;
    rig.scanner.ScanHost();
    QCOMPARE(rig.scanner.stats().changed, 1); // what it saw is stored
    QCOMPARE(rig.scanner.stats().removed, 0);
    QCOMPARE(m_cat->recordCount(), 6);
    QCOMPARE(lastChanges(), QStringList{"changed a.txt"});
}

void tst_HostScanner::everyListedNameOnceOnRealServers_data()
{
    realServers_data();
}

// Case twins, long names that share their first 80 characters, two
// normalisations of one name and names that are not UTF-8.
void tst_HostScanner::everyListedNameOnceOnRealServers()
{
    QFETCH(int, kind);
    if (!FtpTestServer::available(FtpTestServer::Kind(kind)))
        QSKIP("server not installed or not root");
    QTemporaryDir tree;
    const QByteArray shared(80, 's');
    QByteArrayList names = {"x.JPG", "x.jpg", "X.jpg", shared + "-one-0123", shared + "-two-4567", ".hidden",
                            "notes.", "archive.tar.gz", QStringLiteral(u"caf\u00e9").toUtf8(),
                            QStringLiteral(u"cafe\u0301").toUtf8(), "d/README.TXT", "d/readme.txt", "D/readme.txt"};
    // Servers that decode names to send them cannot serve bytes that are not UTF-8.
    if (FtpTestServer::Kind(kind) == FtpTestServer::Kind::Vsftpd)
        names << "\xce\xf2\xf7\xe5\xf2.doc" << "\xce\xf2\xf7\xe5\xf2/\xe9t\xe9.txt";
    QByteArrayList expected;
    for (const QByteArray &n : names) {
        const QByteArray path = QFile::encodeName(tree.path()) + '/' + n;
        if (n.contains('/')) {
            ::mkdir(path.left(path.lastIndexOf('/')).constData(), 0755); // bytes as they are, not decoded
            expected << n.left(n.indexOf('/'));
        }
        FILE *f = std::fopen(path.constData(), "w");
        QVERIFY(f);
        std::fclose(f);
        expected << n;
    }
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    FtpTestServer server{FtpTestServer::Kind(kind)};
    QVERIFY(server.start(tree.path()));

    ServerRig rig(server.hostText(), *m_cat);
    ActivityLog &log = rig.log;
    HostScanner &scanner = rig.scanner;
    scanner.ScanHost();
    QVERIFY2(scanner.stats().failed == 0, qPrintable(log.lines().filter("Could not list").join(u'\n')));
    QCOMPARE(storedPaths(), expected);
    scanner.ScanHost();
    QCOMPARE(scanner.stats().added + scanner.stats().changed + scanner.stats().removed, 0);
    QCOMPARE(storedPaths(), expected);
}

// pyftpdlib's MLSD shows a link to a folder as that folder, unique fact
// and all: whichever the walk meets first, the contents are stored under
// the folder's own path.
void tst_HostScanner::linkMetBeforeItsFolder()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    QTemporaryDir tree;
    for (const char *f : {"m/real1/f1.txt", "m/real1/sub/g1.txt", "m/real2/f2.txt"})
        FtpTestServer::makeFile(tree.filePath(f), 10);
    QVERIFY(QFile::link(tree.filePath("m/real1"), tree.filePath("alink")));
    QVERIFY(QFile::link(tree.filePath("m/real2"), tree.filePath("zlink")));
    FtpTestServer server{FtpTestServer::Kind::Pyftpdlib};
    QVERIFY(server.start(tree.path()));

    ServerRig rig(server.hostText(), *m_cat);
    ActivityLog &log = rig.log;
    HostScanner &scanner = rig.scanner;
    scanner.ScanHost();
    const QByteArrayList paths = storedPaths();
    for (const char *p : {"m/real1/f1.txt", "m/real1/sub", "m/real1/sub/g1.txt", "m/real2/f2.txt", "alink", "zlink"})
        QVERIFY2(paths.contains(p), p);
    QVERIFY2(scanner.stats().failed == 0, qPrintable(log.lines().filter("Could not list").join(u'\n')));
}

// Which of two folders with one unique fact is the link, whichever comes
// first: a link still waiting is dropped for its folder; one listed already
// keeps its rows, and the folder is listed as well.
void tst_HostScanner::linksShownAsFolders()
{
    ScriptedConnection conn;
    conn.tree[""] = {"a/@1", "m/@2", "z/@3"};
    conn.tree["a"] = {"f1"};
    conn.tree["z"] = {"f2"};
    conn.tree["m"] = {"real1/@1", "real2/@3", "self/@2"};
    conn.tree["m/real1"] = {"f1"};
    conn.tree["m/real2"] = {"f2"};
    conn.links = {"a", "z", "m/self"};
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost();
    QCOMPARE(conn.listed, (QByteArrayList{"", "z", "m", "m/real2", "m/real1"}));
    QCOMPARE(storedPaths(), (QByteArrayList{"a", "m", "m/real1", "m/real1/f1", "m/real2", "m/real2/f2", "m/self",
                                            "z", "z/f2"}));
    QCOMPARE(conn.listedWithModes, (QByteArrayList{"m", ""}));
    QVERIFY(rig.log.lines().contains("   Passed over /a: a link to /m/real1"));
    QVERIFY(rig.log.lines().contains("   Passed over /m/self: already listed under another name"));
}


void tst_HostScanner::everyEndIsRecorded_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("result");
    QTest::addColumn<qint64>("entries");
    QTest::newRow("complete") << "complete" << "complete" << qint64(4);
    QTest::newRow("lost") << "lost" << "lost connection" << qint64(2);
    QTest::newRow("cancelled") << "cancel" << "cancelled" << qint64(-1); // as far as the walk got
    QTest::newRow("log-on refused") << "refuse" << "log-on refused" << qint64(0);
}

// Whatever its end, a scan leaves its run: numbered, with its counts, the
// listing command and the greeting.
void tst_HostScanner::everyEndIsRecorded()
{
    QFETCH(QString, end);
    QFETCH(QString, result);
    QFETCH(qint64, entries);
    ScriptedConnection conn;
    conn.tree[""] = {"a/", "x.txt=5"};
    conn.tree["a"] = {"y.txt=7"};
    Rig rig(conn, *m_cat);
    rig.scanner.ScanHost(); // run 1: complete
    conn.tree["a"] = {"y.txt=7", "z.txt=1"};
    conn.listed.clear();
    if (end == "lost")
        conn.dropAfter = 1;
    if (end == "cancel")
        conn.onList = [&] {
            if (conn.listed.size() == 1)
                rig.scanner.cancel();
        };
    if (end == "refuse")
        conn.refused = FtpSession::Refusal::LogonRefused;
    rig.scanner.ScanHost();
    const QList<ScanRun> runs = ScanRuns(m_cat->database()).history("H");
    QCOMPARE(runs.size(), 2);
    const ScanRun &run = runs.first();
    QCOMPARE(run.run, 2);
    QCOMPARE(rig.scanner.lastRun().run, 2);
    QCOMPARE(ScanRun::resultText(run.result), result);
    if (entries >= 0)
        QCOMPARE(run.entries, entries);
    QCOMPARE(run.greeting, "220 scripted");
    QCOMPARE(run.method, end == "refuse" ? QString() : QStringLiteral("MLSD"));
    QVERIFY(run.ended >= run.started);
}

// [SCAN] Keep Runs: the lines of runs older than the last n go at the end of a scan.
void tst_HostScanner::changesOfOlderRunsGo()
{
    ScriptedConnection conn;
    Rig rig(conn, *m_cat);
    rig.scanner.setKeepRuns(2);
    for (int size = 1; size <= 3; ++size) {
        conn.tree[""] = {QStringLiteral("x.txt=%1").arg(size)};
        rig.scanner.ScanHost();
    }
    QCOMPARE(ScanChanges::ofRun(*m_cat, "H", 1).size(), 0);
    QCOMPARE(ScanChanges::ofRun(*m_cat, "H", 2).size(), 1);
    QCOMPARE(ScanChanges::ofRun(*m_cat, "H", 3).size(), 1);
    QCOMPARE(ScanChanges::last(*m_cat, "H").first().kind, ScanChanges::Kind::Changed);
}

QTEST_GUILESS_MAIN(tst_HostScanner)
#include "tst_hostscanner.moc"

// One server, in a zone of its own, scanned by MLSD, then by STAT, then by
// LIST with MDTM, as a server that gains or loses a feature between scans
// is: the rescans find no change, in recent files or in old ones.
void tst_HostScanner::rescansByAnotherListingFindNoChange()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    QTemporaryDir tree;
    const QDateTime recent = QDateTime::currentDateTimeUtc().addDays(-3);
    const QDateTime old(QDate(2021, 7, 1), QTime(23, 59, 30), Qt::UTC);
    int n = 0;
    for (const char *path : {"a.txt", "pub/b.iso", "pub/old/c.txt", "pub/old/d.txt", "e.txt"}) {
        FtpTestServer::makeFile(tree.filePath(path), 10 + n);
        QFile f(tree.filePath(path));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(n++ % 2 ? old : recent, QFileDevice::FileModificationTime));
    }
    const quint16 port = FtpTestServer::freePort();
    int scans = 0;
    for (const QStringList &flags : {QStringList{"--no-stat"}, QStringList{}, QStringList{"--no-mlsd"}}) {
        FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
        server.setPort(port);
        QVERIFY(server.startZoned(tree.path(), "America/St_Johns", flags)); // -3:30 or -2:30
        ServerRig rig(server.hostText(), *m_cat);
        Recorder &messages = rig.messages;
        HostScanner &scanner = rig.scanner;
        scanner.ScanHost();
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(';')));
        QCOMPARE(scanner.stats().failed, 0);
        const HostScanner::Stats &s = scanner.stats();
        if (scans++ == 0)
            QCOMPARE(s.added, 7);
        else
            QVERIFY2(s.added + s.changed + s.removed == 0, qPrintable(lastChanges().join(';')));
    }
}

// A generated tree lists dir0 to dir2 at every level, all made in the same
// minute: with ls's times to the minute each folder lists as the one above
// it, and none of it is a loop.
void tst_HostScanner::alikeFoldersListedByStatAreEntered()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    QTemporaryDir tree;
    int files = 0;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int c = 0; c < 3; ++c, ++files)
                FtpTestServer::makeFile(tree.filePath(QStringLiteral("dir%1/dir%2/dir%3/f.dat").arg(a).arg(b).arg(c)), 1);
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.start(tree.path()));
    ServerRig rig(server.hostText(), *m_cat);
    ActivityLog &log = rig.log;
    HostScanner &scanner = rig.scanner;
    scanner.ScanHost();
    QVERIFY2(log.lines().filter("Passed over").isEmpty(), qPrintable(log.lines().join(u'\n')));
    QCOMPARE(scanner.stats().entries, 3 + 9 + 27 + files);
}
