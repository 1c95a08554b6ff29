#include "core/scan/RunResult.h"

#include <QtTest>

// How a scan's end is named in its record: a cancel first, then why the
// log-on failed, then a connection lost for good.
class tst_RunResult : public QObject
{
    Q_OBJECT
private slots:
    void named_data();
    void named();
};

void tst_RunResult::named_data()
{
    using R = FtpSession::Refusal;
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("lost");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("result");
    QTest::newRow("walked") << false << true << false << int(R::None) << "" << "complete";
    QTest::newRow("lost") << false << true << true << int(R::None) << "" << "lost connection";
    QTest::newRow("cancelled walk") << true << true << true << int(R::None) << "" << "cancelled";
    QTest::newRow("cancelled log-on") << true << false << false << int(R::Other) << "timed out" << "cancelled";
    QTest::newRow("530") << false << false << false << int(R::LogonRefused) << "log-on refused" << "log-on refused";
    QTest::newRow("closed port") << false << false << false << int(R::ConnectionRefused) << "connection refused"
                                 << "refused";
    QTest::newRow("421 busy") << false << false << false << int(R::Busy) << "the server is busy" << "refused";
    QTest::newRow("TLS") << false << false << false << int(R::Other) << "TLS: the server offers no TLS" << "TLS refused";
    QTest::newRow("certificate") << false << false << false << int(R::Other)
                                 << "TLS: certificate SHA-256 fingerprint ab:cd" << "TLS refused";
    QTest::newRow("timed out") << false << false << false << int(R::Other) << "timed out" << "unreachable";
    QTest::newRow("unknown host") << false << false << false << int(R::Other) << "Host not found" << "unreachable";
}

void tst_RunResult::named()
{
    QFETCH(bool, cancelled);
    QFETCH(bool, connected);
    QFETCH(bool, lost);
    QFETCH(int, refusal);
    QFETCH(QString, reason);
    QFETCH(QString, result);
    ScanStats stats;
    stats.cancelled = cancelled;
    stats.terminated = lost;
    QCOMPARE(ScanRun::resultText(RunResult::of(stats, connected, FtpSession::Refusal(refusal), reason)), result);
}

QTEST_GUILESS_MAIN(tst_RunResult)
#include "tst_runresult.moc"
