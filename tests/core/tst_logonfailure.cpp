#include "core/ftp/LogonFailure.h"

#include <QtTest>

// What the user is told after "is not available:" for each way a log-on fails.
class tst_LogonFailure : public QObject
{
    Q_OBJECT
private slots:
    void reason_data();
    void reason();
};

void tst_LogonFailure::reason_data()
{
    using R = FtpSession::Refusal;
    QTest::addColumn<int>("refusal");
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused port") << int(R::ConnectionRefused) << false << "Connection refused" << "connection refused";
    QTest::newRow("530") << int(R::LogonRefused) << false << "530 Login incorrect." << "log-on refused";
    QTest::newRow("421") << int(R::Busy) << false << "421 Too many users" << "the server is busy";
    QTest::newRow("silent server") << int(R::Other) << true << "Network operation timed out" << "timed out";
    // A refusal outranks the timeout noted on the way to it.
    QTest::newRow("530 after a slow greeting") << int(R::LogonRefused) << true << "530 No." << "log-on refused";
    QTest::newRow("handshake") << int(R::Other) << false << "TLS handshake failed: bad record"
                               << "TLS handshake failed: bad record";
    QTest::newRow("certificate") << int(R::Other) << false
                                 << "The certificate of h is not trusted (self-signed). SHA-256 fingerprint: AB"
                                 << "TLS: The certificate of h is not trusted (self-signed). SHA-256 fingerprint: AB";
    QTest::newRow("no TLS offered") << int(R::Other) << false << "No TLS; the password was not sent"
                                    << "TLS: No TLS; the password was not sent";
    QTest::newRow("unknown host") << int(R::Other) << false << "Host not found" << "Host not found";
    QTest::newRow("nothing said") << int(R::None) << false << "" << "no reason given";
}

void tst_LogonFailure::reason()
{
    QFETCH(int, refusal);
    QFETCH(bool, timedOut);
    QFETCH(QString, error);
    QFETCH(QString, reason);
    QCOMPARE(LogonFailure::reason(FtpSession::Refusal(refusal), timedOut, error), reason);
}

QTEST_GUILESS_MAIN(tst_LogonFailure)
#include "tst_logonfailure.moc"
