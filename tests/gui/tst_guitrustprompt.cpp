#include "core/ftp/CertificateFingerprint.h"
#include "core/ftp/FtpSession.h"
#include "ftp/GuiTrustPrompt.h"
#include "widgets/UiSeam.h"
#include "FtpTestServer.h"

#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The scan may run off the GUI thread; the question must still be asked on it.
class tst_GuiTrustPrompt : public QObject
{
    Q_OBJECT
private slots:
    void asksOnTheGuiThread_data();
    void asksOnTheGuiThread();
    void questionNamesWhatChanged_data();
    void questionNamesWhatChanged();
    void changedCertificateDeclined();
};

void tst_GuiTrustPrompt::asksOnTheGuiThread_data()
{
    QTest::addColumn<bool>("fromWorker");
    QTest::addColumn<bool>("answer");
    QTest::newRow("GUI thread, yes") << false << true;
    QTest::newRow("worker thread, no") << true << false;
    QTest::newRow("worker thread, yes") << true << true;
}

void tst_GuiTrustPrompt::asksOnTheGuiThread()
{
    QFETCH(bool, fromWorker);
    QFETCH(bool, answer);
    QString asked;
    QThread *askedOn = nullptr;
    UiSeam::setQuestionHandler([&](const QString &text) {
        asked = text;
        askedOn = QThread::currentThread();
        return answer;
    });
    GuiTrustPrompt prompt;
    bool said = !answer;
    std::unique_ptr<QThread> worker(QThread::create([&] { said = prompt.trustCertificate("ftp.example.org", "AB:CD", "self-signed", QString()); }));
    if (fromWorker) {
        worker->start();
        QTRY_VERIFY(worker->isFinished());
    } else {
        said = prompt.trustCertificate("ftp.example.org", "AB:CD", "self-signed", QString());
    }
    QCOMPARE(said, answer);
    QCOMPARE(askedOn, qApp->thread());
    QVERIFY(asked.contains("AB:CD") && asked.contains("ftp.example.org") && asked.contains("self-signed"));
    UiSeam::setQuestionHandler({});
}

void tst_GuiTrustPrompt::questionNamesWhatChanged_data()
{
    QTest::addColumn<QString>("pinned");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("notSaid");
    QTest::newRow("nothing pinned")
        << QString() << QStringList{"cannot be verified (self-signed)", "SHA-256 fingerprint:\nAB:CD", "from now on?"}
        << QStringList{"pinned"};
    QTest::newRow("another pinned")
        << "01:02" << QStringList{"cannot be verified (self-signed)", "not the certificate pinned for ftp.example.org",
                                  "Pinned SHA-256 fingerprint:\n01:02", "SHA-256 fingerprint:\nAB:CD", "in place of the pinned one?"}
        << QStringList();
}

void tst_GuiTrustPrompt::questionNamesWhatChanged()
{
    QFETCH(QString, pinned);
    QFETCH(QStringList, said);
    QFETCH(QStringList, notSaid);
    const QString q = GuiTrustPrompt::question("ftp.example.org", "AB:CD", "self-signed", pinned);
    for (const QString &s : said)
        QVERIFY2(q.contains(s), qPrintable(q + "\n-- lacks: " + s));
    for (const QString &s : notSaid)
        QVERIFY2(!q.contains(s), qPrintable(q));
}

// A server whose certificate is not the pinned one: the user sees both
// fingerprints, says no, and hears that the certificate was declined.
void tst_GuiTrustPrompt::changedCertificateDeclined()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd needs root");
    if (!QSslSocket::supportsSsl())
        QSKIP("no TLS backend");
    QTemporaryDir root;
    FtpTestServer::makeFile(root.filePath("readme.txt"), 3);
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls());
    QVERIFY2(server.start(root.path()), qPrintable(server.error()));
    FtpLogon logon = FtpLogon::fromHostText(server.hostText());
    logon.connectTimeoutMs = 5000;
    logon.idleTimeoutMs = 5000;
    logon.tls = FtpLogon::Tls::Require;
    logon.pinnedSha256 = QByteArray(32, '\x01');
    QStringList asked, notices;
    UiSeam::setQuestionHandler([&](const QString &text) {
        asked << text;
        return false;
    });
    GuiTrustPrompt prompt;
    FtpSession s;
    s.setTrustPrompt(&prompt);
    s.setNoticeHandler([&](const QString &n) { notices << n; });
    QVERIFY(!s.open(logon));
    UiSeam::setQuestionHandler({});
    QCOMPARE(asked.size(), 1);
    const QString shown = server.certificateFingerprint().section(u'=', 1);
    QVERIFY2(asked[0].contains(shown) && asked[0].contains(CertificateFingerprint::text(logon.pinnedSha256)),
             qPrintable(asked[0]));
    QVERIFY2(s.lastError().startsWith("Certificate declined"), qPrintable(s.lastError()));
    QVERIFY2(notices.join('\n').contains("was declined"), qPrintable(notices.join('\n')));
}

QTEST_MAIN(tst_GuiTrustPrompt)
#include "tst_guitrustprompt.moc"
