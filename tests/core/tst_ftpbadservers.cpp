#include "core/ftp/FtpSession.h"
#include "FtpTestServer.h"

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>
#include <thread>

// Servers on the internet misbehave; each scenario of the scripted server
// breaks one rule, and the client must come out with a clear error and
// everything good kept.
class tst_FtpBadServers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void failedListings_data();
    void failedListings();
    void silentGreetingTimesOut();
    void refusedLogon();
    void unreadableLinesAreCounted();
    void passiveIgnoresForeignAddress();
    void bareCompletionReply();
    void multiLineReplyEndsOnlyAtItsCode();
    void oldCodePageNames();
    void cancelEndsEveryWait_data();
    void cancelEndsEveryWait();

private:
    bool openOn(FtpTestServer &server, FtpSession &s, const QString &scenario, bool passive = true);
};

void tst_FtpBadServers::init()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
}

bool tst_FtpBadServers::openOn(FtpTestServer &server, FtpSession &s, const QString &scenario, bool passive)
{
    if (!server.startScripted(scenario))
        return false;
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    logon.passive = passive;
    logon.idleTimeoutMs = 1500;
    logon.connectTimeoutMs = 1500;
    return s.open(logon);
}

void tst_FtpBadServers::failedListings_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("450 to LIST is a failure, not an empty folder") << "list450" << QStringList{};
    QTest::newRow("cut mid-line keeps whole lines only") << "cut" << QStringList{"good.txt"};
    QTest::newRow("stalled completion reply") << "stall-reply" << QStringList{"good.txt", "sub dir"};
    QTest::newRow("stalled data connection") << "stall-data" << QStringList{"good.txt", "sub dir"};
}

void tst_FtpBadServers::failedListings()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, kept);
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    QVERIFY(openOn(server, s, scenario));
    s.setMethod(FtpSession::Method::List);
    QElapsedTimer t;
    t.start();
    const FtpSession::Listing l = s.list("x");
    QVERIFY(!l.ok);
    QVERIFY(!l.error.isEmpty());
    QVERIFY(t.elapsed() < 10000);
    QStringList names;
    for (const FindData &e : l.entries)
        names << e.name();
    QCOMPARE(names, kept);
}

void tst_FtpBadServers::silentGreetingTimesOut()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    QElapsedTimer t;
    t.start();
    QVERIFY(!openOn(server, s, "silent-greeting"));
    QVERIFY(t.elapsed() < 10000);
    QVERIFY(!s.lastError().isEmpty());
}

void tst_FtpBadServers::refusedLogon()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    QVERIFY(!openOn(server, s, "refuse-login"));
    QVERIFY(s.lastError().contains("530"));
    FtpLogon injected = FtpLogon::fromHostText(server.hostText());
    injected.user = "guest\r\nDELE important";
    QVERIFY(!s.open(injected));
    QVERIFY(s.lastError().contains("line break"));
}

void tst_FtpBadServers::unreadableLinesAreCounted()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    QVERIFY(openOn(server, s, "bad-lines", false));
    s.setMethod(FtpSession::Method::List);
    const FtpSession::Listing l = s.list("x");
    QVERIFY2(l.ok, qPrintable(l.error));
    QStringList names;
    for (const FindData &e : l.entries)
        names << e.name() + (e.sizeKnown ? "" : "?");
    QCOMPARE(names, (QStringList{"good.txt", "sub dir", "huge.bin?", "badsize.txt?"}));
    QCOMPARE(l.badLines, 3);
}

void tst_FtpBadServers::passiveIgnoresForeignAddress()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    QVERIFY(openOn(server, s, "pasv-other"));
    s.setMethod(FtpSession::Method::List);
    const FtpSession::Listing l = s.list("x");
    QVERIFY2(l.ok, qPrintable(l.error));
    QCOMPARE(l.entries.size(), 2);
}

void tst_FtpBadServers::bareCompletionReply()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    QVERIFY(openOn(server, s, "bare226"));
    s.setMethod(FtpSession::Method::List);
    QElapsedTimer t;
    t.start();
    QVERIFY(s.list("x").ok);
    QVERIFY(t.elapsed() < 1000);
}

void tst_FtpBadServers::multiLineReplyEndsOnlyAtItsCode()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    FtpSession s;
    // The FEAT reply holds lines starting "226 " and "211-"; reading on past
    // them keeps later replies in step, so the listing still works.
    QVERIFY(openOn(server, s, "ok"));
    s.setMethod(FtpSession::Method::List);
    QVERIFY(s.list("x").ok);
    QVERIFY(s.list("y").ok);
}

void tst_FtpBadServers::oldCodePageNames()
{
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted("cp1251"));
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    logon.codePage = "cp1251";
    logon.passive = true;
    FtpSession s;
    QVERIFY(s.open(logon));
    s.setMethod(FtpSession::Method::List);
    const FtpSession::Listing top = s.list(QByteArray());
    QCOMPARE(top.entries.size(), 1);
    QCOMPARE(top.entries[0].name(), QString::fromUtf8("Док"));
    QCOMPARE(top.entries[0].wireName, QByteArray("\xc4\xee\xea"));
    // The folder is entered with the name's original bytes.
    const FtpSession::Listing inner = s.list(top.entries[0].wireName);
    QVERIFY2(inner.ok, qPrintable(inner.error));
    QCOMPARE(inner.entries.size(), 1);
    QCOMPARE(inner.entries[0].name(), QString("inner.txt"));
}

void tst_FtpBadServers::cancelEndsEveryWait_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("passive");
    QTest::newRow("greeting") << "silent-greeting" << true;
    QTest::newRow("reply after the log-on") << "stall-logon" << true;
    QTest::newRow("passive data read") << "stall-sub" << true;
    QTest::newRow("active data read") << "stall-sub" << false;
}

// The flag is set from another thread while the session waits: the wait
// ends within a slice, not at the time-out.
void tst_FtpBadServers::cancelEndsEveryWait()
{
    QFETCH(QString, scenario);
    QFETCH(bool, passive);
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted(scenario));
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    logon.passive = passive;
    logon.idleTimeoutMs = 20000;
    logon.connectTimeoutMs = 20000;
    std::atomic_bool cancel{false};
    FtpSession s;
    s.setCancelFlag(&cancel);
    QElapsedTimer t;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        t.start();
        cancel.store(true);
    });
    const bool opened = s.open(logon);
    if (opened && scenario == "stall-sub") {
        s.setMethod(FtpSession::Method::List);
        QVERIFY(!s.list("x").ok);
    }
    canceller.join();
    const qint64 afterCancel = t.elapsed();
    QVERIFY2(afterCancel < 200, qPrintable(QString::number(afterCancel)));
    QVERIFY(!s.isOpen());
}

QTEST_GUILESS_MAIN(tst_FtpBadServers)
#include "tst_ftpbadservers.moc"
