#include "core/ftp/StatPipeline.h"
#include "FtpTestServer.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

// Many listings in flight on one control connection: every folder's answer
// must be its own, whatever the server does with pipelined commands.
class tst_StatPipeline : public QObject
{
    Q_OBJECT
private slots:
    void misbehavingServerStaysExact_data();
    void misbehavingServerStaysExact();
    void patternCharactersStayLiteralOnVsftpd();
    void failedFolderDoesNotTakeAnotherOnesListing();
    void cancelCutsWhatIsInFlight();
    void slowFolderCostsOneWait_data();
    void slowFolderCostsOneWait();

private:
    using Walk = QMap<QByteArray, QByteArrayList>;
    static Walk walk(StatPipeline &p, const QByteArray &top = QByteArray());
    static Walk walkSerially(FtpSession &s);
    static QByteArrayList names(const FtpSession::Listing &l);
    static bool openOn(FtpSession &s, quint16 port, int idleMs = 60000, int deadlineMs = 600000);
};

QByteArrayList tst_StatPipeline::names(const FtpSession::Listing &l)
{
    QByteArrayList out;
    for (const FileEntry &e : l.entries)
        out << (e.isDirectory() ? "d:" : "f:") + e.wireName;
    std::sort(out.begin(), out.end());
    return out;
}

bool tst_StatPipeline::openOn(FtpSession &s, quint16 port, int idleMs, int deadlineMs)
{
    FtpLogon logon = FtpLogon::fromHostText(QStringLiteral("127.0.0.1:%1").arg(port));
    logon.passive = true;
    logon.idleTimeoutMs = idleMs;
    logon.listingDeadlineMs = deadlineMs;
    return s.open(logon);
}

// Every folder below top, listed through the pipeline as a scanner would:
// a folder's subfolders are submitted when its answer comes.
tst_StatPipeline::Walk tst_StatPipeline::walk(StatPipeline &p, const QByteArray &top)
{
    Walk seen;
    p.submit(top);
    while (!p.isIdle()) {
        const StatPipeline::Result r = p.next();
        if (!r.listing.ok) {
            seen[r.path] = {"error: " + r.listing.error.toUtf8()};
            continue;
        }
        seen[r.path] = names(r.listing);
        for (const FileEntry &e : r.listing.entries)
            if (e.isDirectory())
                p.submit(r.path.isEmpty() ? e.wireName : r.path + '/' + e.wireName);
    }
    return seen;
}

tst_StatPipeline::Walk tst_StatPipeline::walkSerially(FtpSession &s)
{
    Walk seen;
    QByteArrayList work{QByteArray()};
    while (!work.isEmpty()) {
        const QByteArray path = work.takeFirst();
        const FtpSession::Listing l = s.list(path);
        seen[path] = names(l);
        for (const FileEntry &e : l.entries)
            if (e.isDirectory())
                work << (path.isEmpty() ? e.wireName : path + '/' + e.wireName);
    }
    return seen;
}

void tst_StatPipeline::misbehavingServerStaysExact_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("pipelines");
    QTest::addColumn<int>("reopened");
    QTest::newRow("in order") << "pipeline" << true << 0;
    QTest::newRow("answers out of order") << "pipeline-reorder" << false << 1;
    QTest::newRow("drops pipelined commands") << "pipeline-drop" << false << 1;
    QTest::newRow("connection cut mid-reply") << "pipeline-cut" << true << 1;
}

// The probe decides; whatever it decided, the walk lists every folder with
// its own entries, the same as one folder at a time.
void tst_StatPipeline::misbehavingServerStaysExact()
{
    QFETCH(QString, scenario);
    QFETCH(bool, pipelines);
    QFETCH(int, reopened);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    FtpSession reference;
    QVERIFY(openOn(reference, server.port()));
    QCOMPARE(reference.method(), FtpSession::Method::StatA);
    const Walk expected = walkSerially(reference);
    QCOMPARE(expected.size(), 7);
    QCOMPARE(expected.value("a?b"), QByteArrayList{"f:only-in-a-question-b.txt"});

    FtpSession s;
    QVERIFY(openOn(s, server.port()));
    StatPipeline p(s);
    QCOMPARE(p.probe(), pipelines);
    QCOMPARE(walk(p), expected);
    QCOMPARE(p.reopened(), reopened);
}

// vsftpd takes "*" and "?" in a STAT argument as patterns; through the
// pipeline each folder is entered by its exact name.
void tst_StatPipeline::patternCharactersStayLiteralOnVsftpd()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd tests need root and /usr/sbin/vsftpd");
    QTemporaryDir root;
    for (const char *f : {"a?b/q.txt", "axb/x.txt", "a*b/star.txt", "a[b]/br.txt", "sp ace/in/deep.txt", ".hid/h.txt"})
        FtpTestServer::makeFile(root.filePath(QString::fromUtf8(f)), 3);
    for (int i = 0; i < 40; ++i) // more folders than the first window
        FtpTestServer::makeFile(root.filePath(QStringLiteral("wide/w%1/f.txt").arg(i)), 1);
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.start(root.path()));
    FtpSession reference, s;
    QVERIFY(openOn(reference, server.port()));
    QVERIFY(openOn(s, server.port()));
    QVERIFY(s.listsOnControl());
    StatPipeline p(s);
    QVERIFY(p.probe());
    const Walk seen = walk(p);
    QCOMPARE(seen, walkSerially(reference));
    QCOMPARE(seen.value("a?b"), QByteArrayList{"f:q.txt"});
    QCOMPARE(seen.value("a*b"), QByteArrayList{"f:star.txt"});
    QCOMPARE(seen.value("sp ace/in"), QByteArrayList{"f:deep.txt"});
    QCOMPARE(seen.size(), 6 + 1 + 1 + 1 + 40);
    QCOMPARE(p.reopened(), 0);
    QVERIFY(p.window() > 16); // forty folders waited: the window grew
}

// A folder that cannot be entered fails alone: the listing that follows its
// CWD is of another folder and must not be taken for it.
void tst_StatPipeline::failedFolderDoesNotTakeAnotherOnesListing()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(QStringLiteral("pipeline")));
    FtpSession s;
    QVERIFY(openOn(s, server.port()));
    StatPipeline p(s);
    QVERIFY(p.probe());
    for (const char *path : {"one", "gone", "axb", "bad\r\nDELE x"})
        p.submit(path);
    QMap<QByteArray, StatPipeline::Result> results;
    while (!p.isIdle()) {
        const StatPipeline::Result r = p.next();
        results[r.path] = r;
    }
    QCOMPARE(results.size(), 4);
    QVERIFY(!results["gone"].listing.ok);
    QVERIFY(results["gone"].listing.error.contains(QStringLiteral("No such folder")));
    QCOMPARE(results["gone"].listing.code, 550); // the CWD's reply, not the listing's after it
    QVERIFY(results["one"].listing.code >= 200 && results["one"].listing.code < 300);
    QCOMPARE(results["bad\r\nDELE x"].listing.code, 0);
    QCOMPARE(names(results["axb"].listing), QByteArrayList{"f:x.txt"});
    QCOMPARE(names(results["one"].listing), (QByteArrayList{"d:two", "f:1.txt"}));
    QVERIFY(!results["bad\r\nDELE x"].listing.ok);
}

void tst_StatPipeline::cancelCutsWhatIsInFlight()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(QStringLiteral("pipeline")));
    FtpSession s;
    QVERIFY(openOn(s, server.port()));
    StatPipeline p(s);
    QVERIFY(p.probe());
    for (int i = 0; i < 40; ++i)
        p.submit(i % 2 ? "one" : "axb");
    QCOMPARE(p.next().path, QByteArray("axb"));
    QElapsedTimer t;
    t.start();
    p.cancel();
    QVERIFY(p.isIdle());
    QVERIFY(t.elapsed() < 1000);
    QVERIFY(p.takeQueued().isEmpty());
}

void tst_StatPipeline::slowFolderCostsOneWait_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("error");
    QTest::newRow("never answered") << "pipeline-stall" << "No reply from the server within 0.5 s";
    QTest::newRow("answered a line at a time") << "pipeline-drip" << "The listing took longer than 0.5 s";
}

// A folder whose answer outlasts the idle time-out or the listing deadline
// is given up as timed out after one wait, not taken for a lost connection
// and asked for again; the folders behind it still get their turn.
void tst_StatPipeline::slowFolderCostsOneWait()
{
    QFETCH(QString, scenario);
    QFETCH(QString, error);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    FtpSession s;
    const bool drip = scenario.endsWith("drip");
    QVERIFY(openOn(s, server.port(), drip ? 60000 : 500, drip ? 500 : 600000));
    StatPipeline p(s);
    QVERIFY(p.probe());
    const Walk seen = walk(p);
    // The last folder, alone in flight, is answered as the server answers
    // commands one at a time.
    QCOMPARE(seen.size(), 7);
    for (const QByteArray folder : {"a?b", "axb", "a*b"})
        QCOMPARE(seen.value(folder), QByteArrayList{"error: " + error.toUtf8()});
    QCOMPARE(seen.value("one/two/three"), QByteArrayList{"f:3.txt"});
    QCOMPARE(p.reopened(), 3); // one new connection after each slow folder, not three
}

QTEST_GUILESS_MAIN(tst_StatPipeline)
#include "tst_statpipeline.moc"
