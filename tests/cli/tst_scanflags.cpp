#include "CommandLine.h"
#include "ScanFlags.h"
#include "core/ftp/CertificateFingerprint.h"

#include <QtTest>

// The scan command's flags as the run's overrides; every flag not given
// leaves the settings' value.
class tst_ScanFlags : public QObject
{
    Q_OBJECT
private slots:
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();

private:
    static std::optional<ScanSetup::Overrides> read(const QStringList &flags, const QString &host = "h.example");
};

std::optional<ScanSetup::Overrides> tst_ScanFlags::read(const QStringList &flags, const QString &host)
{
    CommandLine line;
    if (!line.parse(QStringList{"harvex-cli", "scan", host} + flags))
        return std::nullopt;
    return ScanFlags::read(line, host);
}

void tst_ScanFlags::accepted_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("passive"); // "" not given
    QTest::addColumn<QString>("tls");
    QTest::addColumn<bool>("trust");
    QTest::addColumn<int>("maxDepth"); // 0 not given
    QTest::addColumn<qint64>("maxEntries");
    QTest::addColumn<int>("connections");

    QTest::newRow("none") << QStringList{} << "" << "" << false << 0 << qint64(0) << 0;
    QTest::newRow("every one") << QStringList{"--passive", "--tls", "REQUIRE", "--trust", QString("ab").repeated(32),
                                              "--max-depth", "1000000", "--max-entries", "5000000000",
                                              "--connections", "16"}
                               << "on" << "require" << true << 1000000 << qint64(5000000000) << 16;
    QTest::newRow("one connection") << QStringList{"--connections", "1", "--tls", "off"} << "" << "off" << false << 0
                                    << qint64(0) << 1;
}

void tst_ScanFlags::accepted()
{
    QFETCH(QStringList, flags);
    const std::optional<ScanSetup::Overrides> run = read(flags);
    QVERIFY(run);
    QTEST(run->passive ? QString("on") : QString(), "passive");
    QTEST(run->tls ? FtpLogon::tlsName(*run->tls) : QString(), "tls");
    QTEST(!run->trustSha256.isEmpty(), "trust");
    QTEST(run->maxDepth.value_or(0), "maxDepth");
    QTEST(run->maxEntries, "maxEntries");
    QTEST(run->connections.value_or(0), "connections");
}

void tst_ScanFlags::rejected_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("flags");

    QTest::newRow("port out of range") << "h.example:0" << QStringList{};
    QTest::newRow("implicit is no --tls") << "h.example" << QStringList{"--tls", "implicit"};
    QTest::newRow("fingerprint of 31 bytes") << "h.example" << QStringList{"--trust", QString("ab").repeated(31)};
    QTest::newRow("no connections") << "h.example" << QStringList{"--connections", "0"};
    QTest::newRow("connections not a number") << "h.example" << QStringList{"--connections", "four"};
    QTest::newRow("depth past a million") << "h.example" << QStringList{"--max-depth", "1000001"};
    QTest::newRow("entries not a number") << "h.example" << QStringList{"--max-entries", "many"};
}

void tst_ScanFlags::rejected()
{
    QFETCH(QString, host);
    QFETCH(QStringList, flags);
    QVERIFY(!read(flags, host));
}

QTEST_GUILESS_MAIN(tst_ScanFlags)
#include "tst_scanflags.moc"
