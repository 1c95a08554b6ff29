#include "core/base/ListedTime.h"
#include "core/ftp/FtpSession.h"
#include "FtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_FtpSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listsEveryEntry_data();
    void listsEveryEntry();
    void reusesOneConnection();
    void statFastPathMatchesList();
    void lsTimesInTheServersZone_data();
    void lsTimesInTheServersZone();
    void rememberedListingSkipsTheComparison();
    void userAndPasswordLogon();
    void wrongPasswordAndClosedPort();
    void findFirstAndNext();

private:
    static QMap<QString, FileEntry> byName(const FtpSession::Listing &l);
    QTemporaryDir m_root;
};

void tst_FtpSession::initTestCase()
{
    const QString r = m_root.path();
    FtpTestServer::makeFile(r + "/readme.txt", 3);
    FtpTestServer::makeFile(r + "/.profile", 7);
    FtpTestServer::makeFile(r + "/with space/inner file.doc", 11);
    FtpTestServer::makeFile(QString::fromUtf8("%1/Документы/отчёт.txt").arg(r), 5);
    FtpTestServer::makeFile(r + "/pub/a -> b.txt", 2);
    FtpTestServer::makeFile(r + "/pub/big.iso", 5368709120LL);
    QDir(r).mkdir("empty");
    QFile::link("readme.txt", r + "/link.txt");
    QFile readme(r + "/readme.txt");
    readme.open(QIODevice::ReadWrite);
    readme.setFileTime(QDateTime(QDate(2000, 1, 1), QTime(12, 0), Qt::UTC), QFileDevice::FileModificationTime);
}

QMap<QString, FileEntry> tst_FtpSession::byName(const FtpSession::Listing &l)
{
    QMap<QString, FileEntry> m;
    for (const FileEntry &e : l.entries)
        m.insert(e.name, e);
    return m;
}

void tst_FtpSession::listsEveryEntry_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("passive");
    QTest::newRow("vsftpd active") << int(FtpTestServer::Kind::Vsftpd) << false;
    QTest::newRow("vsftpd passive") << int(FtpTestServer::Kind::Vsftpd) << true;
    QTest::newRow("pyftpdlib active") << int(FtpTestServer::Kind::Pyftpdlib) << false;
    QTest::newRow("pyftpdlib passive") << int(FtpTestServer::Kind::Pyftpdlib) << true;
}

void tst_FtpSession::listsEveryEntry()
{
    QFETCH(int, kind);
    QFETCH(bool, passive);
    const auto k = FtpTestServer::Kind(kind);
    if (!FtpTestServer::available(k))
        QSKIP("server not installed or not root");
    FtpTestServer server(k);
    QVERIFY2(server.start(m_root.path()), qPrintable(server.error()));
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    logon.passive = passive;
    FtpSession s;
    QVERIFY2(s.open(logon), qPrintable(s.lastError()));

    const FtpSession::Listing top = s.list(QByteArray());
    QVERIFY2(top.ok, qPrintable(top.error));
    QCOMPARE(top.badLines, 0);
    const auto names = byName(top);
    QVERIFY(!names.contains(".") && !names.contains(".."));
    QVERIFY2(names.contains(".profile"), "dot-files are catalogued");
    QCOMPARE(names["readme.txt"].attributes(), 128u);
    QCOMPARE(names["readme.txt"].size, 3u);
    const quint64 y2000 = quint64(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()) * 10000
        + 116444736000000000ull;
    QVERIFY(names["readme.txt"].time >= y2000);
    QCOMPARE(names["with space"].attributes(), 16u);
    QCOMPARE(names[QString::fromUtf8("Документы")].attributes(), 16u);
    QCOMPARE(names["empty"].attributes(), 16u);
    if (k == FtpTestServer::Kind::Vsftpd)
        QCOMPARE(names["link.txt"].attributes(), 1024u);

    const auto pub = byName(s.list("pub"));
    QCOMPARE(pub["big.iso"].size, 5368709120ull);
    QCOMPARE(pub["big.iso"].size >> 32, 1u);
    QVERIFY2(pub.contains("a -> b.txt"), "a regular file may hold an arrow in its name");
    const auto cyr = byName(s.list(QString::fromUtf8("Документы").toUtf8()));
    QVERIFY(cyr.contains(QString::fromUtf8("отчёт.txt")));
    const auto spaced = byName(s.list("with space"));
    QCOMPARE(spaced["inner file.doc"].size, 11u);
    const FtpSession::Listing empty = s.list("empty");
    QVERIFY(empty.ok);
    QCOMPARE(empty.entries.size(), 0);
}

void tst_FtpSession::reusesOneConnection()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd not installed or not root");
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.start(m_root.path()));
    FtpSession s;
    QVERIFY(s.open(FtpLogon::fromHostText(server.hostText())));
    for (int i = 0; i < 20; ++i)
        QVERIFY(s.list(i % 2 ? "pub" : "with space").ok);
    QCOMPARE(s.logonCount(), 1);
    QVERIFY(s.isAlive());
    s.close();
    QVERIFY(!s.isAlive());
}

void tst_FtpSession::statFastPathMatchesList()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd not installed or not root");
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.start(m_root.path()));
    FtpSession s;
    QVERIFY(s.open(FtpLogon::fromHostText(server.hostText())));
    QCOMPARE(s.method(), FtpSession::Method::StatA);
    for (const QByteArray &path : {QByteArray(), QByteArray("pub"), QByteArray("with space")}) {
        s.setMethod(FtpSession::Method::StatA);
        const auto viaStat = byName(s.list(path));
        s.setMethod(FtpSession::Method::ListA);
        const auto viaList = byName(s.list(path));
        QCOMPARE(viaStat.keys(), viaList.keys());
        for (const QString &name : viaList.keys())
            QCOMPARE(viaStat[name].size, viaList[name].size);
    }
}

// A server in India (+5:30) prints ls times in its own zone. Whichever way
// it is listed, every time stored is the file's own to its precision: a
// file from 2020 modified at 01:30 local, 20:00 UTC the day before, shows
// an hour-level offset error as a wrong day.
void tst_FtpSession::lsTimesInTheServersZone_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("recentPrecision");
    QTest::newRow("MLSD and STAT: STAT") << QStringList() << int(FtpSession::Method::Stat) << int(TimePrecision::Minute);
    QTest::newRow("MLSD only") << QStringList{"--no-stat"} << int(FtpSession::Method::Mlsd) << int(TimePrecision::Exact);
    QTest::newRow("ls only: MDTM") << QStringList{"--no-mlsd"} << int(FtpSession::Method::ListA)
                                   << int(TimePrecision::Minute);
}

void tst_FtpSession::lsTimesInTheServersZone()
{
    QFETCH(QStringList, flags);
    QFETCH(int, method);
    QFETCH(int, recentPrecision);
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    QTemporaryDir root;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime recent = now.addSecs(-3600).addMSecs(-now.time().msec());
    const QDateTime old(QDate(2020, 3, 3), QTime(20, 0, 41), Qt::UTC);
    const QMap<QString, QDateTime> times{{"recent.txt", recent}, {"old.txt", old}, {"sub/inner.txt", recent},
                                         {"sub/old.txt", old}};
    for (auto t = times.cbegin(); t != times.cend(); ++t) {
        FtpTestServer::makeFile(root.filePath(t.key()), 5);
        QFile f(root.filePath(t.key()));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(t.value(), QFileDevice::FileModificationTime));
    }
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.startZoned(root.path(), "Asia/Kolkata", flags));
    FtpSession s;
    QVERIFY2(s.open(FtpLogon::fromHostText(server.hostText())), qPrintable(s.lastError()));
    QCOMPARE(int(s.method()), method);
    const auto fileTime = [](const QDateTime &t) { return quint64(t.toMSecsSinceEpoch() + 11644473600000) * 10000; };
    for (const QByteArray &folder : {QByteArray(), QByteArray("sub")}) {
        const auto listed = byName(s.list(folder));
        for (const char *file : {"recent.txt", "old.txt", "inner.txt"}) {
            const QString name = QString::fromLatin1(file);
            const QString path = folder.isEmpty() ? name : QString::fromLatin1(folder) + "/" + name;
            if (!times.contains(path))
                continue;
            QVERIFY2(listed.contains(name), qPrintable(path));
            const quint64 got = listed[name].time;
            QVERIFY2(ListedTime::same(fileTime(times[path]), got), qPrintable(path));
            const bool isOld = name == "old.txt";
            const int expected = isOld && recentPrecision != int(TimePrecision::Exact) ? int(TimePrecision::Day)
                                                                                        : recentPrecision;
            // The top's listing is the probe's: MLSD's, where it was compared.
            if (!folder.isEmpty() || method != int(FtpSession::Method::Stat))
                QCOMPARE(int(ListedTime::precision(got)), expected);
        }
    }
}

// A second log-on to a server lists its top folder the remembered way at
// once; a server whose FEAT or SYST changed is compared afresh, and so is
// one where the remembered way no longer lists.
void tst_FtpSession::rememberedListingSkipsTheComparison()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.startZoned(m_root.path(), "Asia/Kolkata"));
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    const auto listingsSent = [&](const FtpLogon &l, FtpSession::Method expected) {
        const int before = server.receivedCommands().size();
        FtpSession s;
        if (!s.open(l))
            return QStringList{"log-on failed"};
        if (s.method() != expected || !s.list(QByteArray()).ok)
            return QStringList{"method " + s.methodName(s.method())};
        s.close();
        QStringList sent = server.receivedCommands().mid(before).filter(QRegularExpression("^(MLSD|STAT|LIST)"));
        return sent;
    };
    QCOMPARE(listingsSent(logon, FtpSession::Method::Stat), (QStringList{"MLSD", "STAT -a .", "STAT ."}));
    FtpSession first;
    QVERIFY(first.open(logon));
    logon.listing = first.listingChoice();
    QCOMPARE(logon.listing->clockOffsetS, 19800);
    QCOMPARE(ListingChoice::fromText(logon.listing->text()), logon.listing);
    QCOMPARE(listingsSent(logon, FtpSession::Method::Stat), (QStringList{"STAT ."}));

    FtpLogon changed = logon;
    changed.listing->signature = "another server";
    QCOMPARE(listingsSent(changed, FtpSession::Method::Stat).size(), 3);
    FtpLogon gone = logon;
    gone.listing->method = FtpSession::Method::StatA; // answered with 550 now
    QCOMPARE(listingsSent(gone, FtpSession::Method::Stat), (QStringList{"STAT -a .", "MLSD", "STAT -a .", "STAT ."}));
}

void tst_FtpSession::userAndPasswordLogon()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.start(m_root.path(), "alice", "s3cret"));
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    logon.user = "alice";
    logon.password = "s3cret";
    FtpSession s;
    QVERIFY2(s.open(logon), qPrintable(s.lastError()));
    // pyftpdlib's "STAT ." tells what its MLSD tells of this tree.
    QCOMPARE(s.method(), FtpSession::Method::Stat);
    QVERIFY(byName(s.list(QByteArray())).contains("readme.txt"));
}

void tst_FtpSession::wrongPasswordAndClosedPort()
{
    FtpSession s;
    FtpLogon closed = FtpLogon::fromHostText(QStringLiteral("127.0.0.1:%1").arg(FtpTestServer::freePort()));
    QVERIFY(!s.open(closed));
    QVERIFY(!s.lastError().isEmpty());
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.start(m_root.path(), "alice", "s3cret"));
    FtpLogon wrong = FtpLogon::fromHostText(server.hostText());
    wrong.user = "alice";
    wrong.password = "nope";
    QVERIFY(!s.open(wrong));
    QVERIFY(!s.isOpen());
}

void tst_FtpSession::findFirstAndNext()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not installed");
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.start(m_root.path()));
    FtpSession s;
    QVERIFY(s.open(FtpLogon::fromHostText(server.hostText())));
    FileEntry e;
    QStringList names;
    for (bool more = s.findFirstFile("with space", e); more; more = s.findNextFile(e))
        names << e.name;
    QCOMPARE(names, QStringList{"inner file.doc"});
    QVERIFY(!s.findFirstFile("no such folder", e));
    QVERIFY(!s.lastError().isEmpty());
}

QTEST_GUILESS_MAIN(tst_FtpSession)
#include "tst_ftpsession.moc"
