#include "FtpTestServer.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Two harvex-cli scans of one host into one SQLite catalogue: the second is
// refused while the first runs, and the lock of a killed scan does not block.
class tst_HostLockCli : public QObject
{
    Q_OBJECT
private slots:
    void secondScanOfAHostIsRefusedUntilTheFirstDies();
};

namespace {
QStringList scanArgs(const FtpTestServer &server, const QTemporaryDir &data, const QString &maxEntries)
{
    return {"scan", server.hostText(), "--passive", "--max-entries", maxEntries, "--data", data.path()};
}

// The first scan holds its lock once it has stored rows: the file exists.
bool waitForCatalogue(const QTemporaryDir &data, QProcess &scan)
{
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired() && scan.state() == QProcess::Running) {
        if (QFileInfo(data.filePath("DB/DB.sqlite-wal")).size() > 0)
            return true;
        QTest::qWait(100);
    }
    return false;
}
} // namespace

void tst_HostLockCli::secondScanOfAHostIsRefusedUntilTheFirstDies()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    FtpTestServer server(FtpTestServer::Kind::Scripted);
    QVERIFY(server.startScripted("endless"));
    QTemporaryDir data;
    QProcess first;
    first.start(QStringLiteral(HARVEX_CLI), scanArgs(server, data, "100000000"));
    QVERIFY(waitForCatalogue(data, first));

    QProcess second;
    second.start(QStringLiteral(HARVEX_CLI), scanArgs(server, data, "50"));
    QVERIFY(second.waitForFinished(60000));
    const QString refused = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(refused.contains("is being scanned by another scanner of this catalogue"), qPrintable(refused));
    QVERIFY(second.exitCode() != 0);

    // SIGKILL: nothing released the lock; its process is gone.
    first.kill();
    QVERIFY(first.waitForFinished(60000));
    QProcess third;
    third.start(QStringLiteral(HARVEX_CLI), scanArgs(server, data, "50"));
    QVERIFY(third.waitForFinished(60000));
    const QString err = QString::fromUtf8(third.readAllStandardError());
    QVERIFY2(!err.contains("is being scanned"), qPrintable(err));
    QVERIFY2(err.contains("the entry limit of 50 was reached"), qPrintable(err));
}

QTEST_GUILESS_MAIN(tst_HostLockCli)
#include "tst_hostlockcli.moc"
