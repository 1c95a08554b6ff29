#include "core/ftp/CertificateFingerprint.h"
#include "core/ftp/FtpSession.h"
#include "core/ftp/TrustPrompt.h"
#include "FtpTestServer.h"

#include <QSslSocket>
#include <QTemporaryDir>
#include <QtTest>

// FTPS against vsftpd with ssl_enable=YES (anonymous log-ons and data must
// use TLS, data connections must resume the control session) and a
// self-signed certificate made for the test.
class tst_Ftps : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pinnedCertificateScans_data();
    void pinnedCertificateScans();
    void unpinnedCertificateIsRefused();
    void promptPinsOnce();
    void changedCertificateDeclined();
    void implicitTls();
    void listsOnControlAndResumesOnData();

private:
    FtpLogon logonFor(const FtpTestServer &server) const;
    QTemporaryDir m_root;
};

namespace {
struct Prompt : TrustPrompt
{
    bool answer = false;
    QStringList asked;
    QStringList pinned;
    bool trustCertificate(const QString &host, const QString &fingerprint, const QString &,
                          const QString &pinnedFingerprint) override
    {
        pinned << pinnedFingerprint;
        asked << host + ' ' + fingerprint;
        return answer;
    }
};

QString openSslText(const FtpTestServer &s)
{
    return s.certificateFingerprint().section(u'=', 1);
}
} // namespace

void tst_Ftps::initTestCase()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd))
        QSKIP("vsftpd needs root");
    if (!QSslSocket::supportsSsl())
        QSKIP("no TLS backend");
    FtpTestServer::makeFile(m_root.filePath("readme.txt"), 3);
    FtpTestServer::makeFile(m_root.filePath("pub/inner/deep.bin"), 9);
}

FtpLogon tst_Ftps::logonFor(const FtpTestServer &server) const
{
    FtpLogon l = FtpLogon::fromHostText(server.hostText());
    l.connectTimeoutMs = 5000;
    l.idleTimeoutMs = 5000;
    return l;
}

void tst_Ftps::pinnedCertificateScans_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<int>("tls");
    QTest::newRow("passive, require") << true << int(FtpLogon::Tls::Require);
    QTest::newRow("active, require") << false << int(FtpLogon::Tls::Require);
    QTest::newRow("passive, try") << true << int(FtpLogon::Tls::Try);
}

void tst_Ftps::pinnedCertificateScans()
{
    QFETCH(bool, passive);
    QFETCH(int, tls);
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls());
    QVERIFY2(server.start(m_root.path()), qPrintable(server.error()));
    FtpLogon logon = logonFor(server);
    logon.passive = passive;
    logon.tls = FtpLogon::Tls(tls);
    logon.pinnedSha256 = CertificateFingerprint::parse(server.certificateFingerprint());
    QStringList notices;
    FtpSession s;
    s.setNoticeHandler([&](const QString &n) { notices << n; });
    QVERIFY2(s.open(logon), qPrintable(s.lastError()));
    QVERIFY(s.isEncrypted());
    const FtpSession::Listing top = s.list(QByteArray());
    QVERIFY2(top.ok, qPrintable(top.error));
    QStringList names;
    for (const FileEntry &e : top.entries)
        names << e.name;
    names.sort();
    QCOMPARE(names, (QStringList{"pub", "readme.txt"}));
    const FtpSession::Listing inner = s.list("pub/inner");
    QVERIFY2(inner.ok, qPrintable(inner.error));
    QCOMPARE(inner.entries.size(), 1);
    QCOMPARE(inner.entries[0].size, 9u);
    QCOMPARE(s.logonCount(), 1);
    const QString mode = passive ? "passive" : "active";
    QVERIFY2(notices.join('\n').contains("Data connections: " + mode + " mode, TLS"), qPrintable(notices.join('\n')));
}

void tst_Ftps::unpinnedCertificateIsRefused()
{
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls());
    QVERIFY(server.start(m_root.path()));
    FtpLogon logon = logonFor(server);
    logon.tls = FtpLogon::Tls::Require;
    FtpSession s;
    QVERIFY(!s.open(logon));
    QVERIFY(!s.isOpen());
    QVERIFY2(s.lastError().contains("not trusted"), qPrintable(s.lastError()));
    QVERIFY2(s.lastError().contains(openSslText(server)), qPrintable(s.lastError()));
    // A pin for another certificate is no pin for this one.
    logon.pinnedSha256 = QByteArray(32, '\x01');
    QVERIFY(!s.open(logon));
    QVERIFY(s.lastError().contains(openSslText(server)));
}

void tst_Ftps::promptPinsOnce()
{
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls());
    QVERIFY(server.start(m_root.path()));
    FtpLogon logon = logonFor(server);
    logon.tls = FtpLogon::Tls::Require;
    logon.passive = true;
    Prompt prompt;
    FtpSession s;
    s.setTrustPrompt(&prompt);
    QVERIFY(!s.open(logon));
    QCOMPARE(prompt.asked, QStringList{"127.0.0.1 " + openSslText(server)});
    prompt.answer = true;
    QVERIFY2(s.open(logon), qPrintable(s.lastError()));
    QCOMPARE(CertificateFingerprint::text(s.newlyTrusted()), openSslText(server));
    QVERIFY(s.list(QByteArray()).ok);
    // Reconnecting within the session does not ask again.
    QVERIFY(s.reopen());
    QCOMPARE(prompt.asked.size(), 2);
}

// A pin for another certificate: the prompt hears of both, and a no is
// reported as the user's refusal, in the error and in the log.
void tst_Ftps::changedCertificateDeclined()
{
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls());
    QVERIFY(server.start(m_root.path()));
    FtpLogon logon = logonFor(server);
    logon.tls = FtpLogon::Tls::Require;
    logon.pinnedSha256 = QByteArray(32, '\x01');
    const QString oldPin = CertificateFingerprint::text(logon.pinnedSha256);
    Prompt prompt;
    QStringList notices;
    FtpSession s;
    s.setTrustPrompt(&prompt);
    s.setNoticeHandler([&](const QString &n) { notices << n; });
    QVERIFY(!s.open(logon));
    QCOMPARE(prompt.asked, QStringList{"127.0.0.1 " + openSslText(server)});
    QCOMPARE(prompt.pinned, QStringList{oldPin});
    QVERIFY2(s.lastError().startsWith("Certificate declined: ") && s.lastError().contains("not trusted"),
             qPrintable(s.lastError()));
    const QString log = notices.join('\n');
    QVERIFY2(log.contains("was declined") && log.contains("not the one pinned") && log.contains(oldPin), qPrintable(log));
}

void tst_Ftps::implicitTls()
{
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls(true));
    QVERIFY(server.start(m_root.path()));
    FtpLogon logon = FtpLogon::fromHostText("ftps://" + server.hostText());
    QCOMPARE(logon.tls, FtpLogon::Tls::Implicit);
    logon.pinnedSha256 = CertificateFingerprint::parse(server.certificateFingerprint());
    logon.passive = true;
    FtpSession s;
    QVERIFY2(s.open(logon), qPrintable(s.lastError()));
    QVERIFY(s.isEncrypted());
    QVERIFY(s.list("pub").ok);
}

// Over TLS every data connection costs a handshake, so the listings come on
// the control connection where the server allows; where they need a data
// connection, it resumes the control connection's session. The server runs
// with require_ssl_reuse: a data connection that did not resume is refused.
void tst_Ftps::listsOnControlAndResumesOnData()
{
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    QVERIFY(server.enableTls());
    QVERIFY2(server.start(m_root.path()), qPrintable(server.error()));
    FtpLogon logon = logonFor(server);
    logon.passive = true;
    logon.tls = FtpLogon::Tls::Require;
    logon.pinnedSha256 = CertificateFingerprint::parse(server.certificateFingerprint());
    FtpSession s;
    QVERIFY2(s.open(logon), qPrintable(s.lastError()));
    QCOMPARE(s.method(), FtpSession::Method::StatA);
    s.setMethod(FtpSession::Method::ListA);
    for (const QByteArray &folder : {QByteArray("pub"), QByteArray("pub/inner"), QByteArray(), QByteArray("pub")}) {
        const FtpSession::Listing l = s.list(folder);
        QVERIFY2(l.ok, qPrintable(folder + ": " + l.error));
    }
    QCOMPARE(s.logonCount(), 1);
}

QTEST_GUILESS_MAIN(tst_Ftps)
#include "tst_ftps.moc"

