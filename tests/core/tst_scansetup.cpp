#include "core/base/IniFile.h"
#include "core/ftp/CertificateFingerprint.h"
#include "core/scan/ScanSetup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// What a scan logs on and walks with: the settings file, the run's flags over it.
class tst_ScanSetup : public QObject
{
    Q_OBJECT
private slots:
    void logon_data();
    void logon();
    void limitsAndConnections_data();
    void limitsAndConnections();
    void flagsLeaveTheFileAlone();
    void savedFlagsBecomeTheHostsSettings_data();
    void savedFlagsBecomeTheHostsSettings();
    void pinnedCertificateServesTheNextLogon();
    void rememberedListingIsThePortsOwn();

private:
    QString settingsFile(const QByteArray &text);
    QTemporaryDir m_dir;
    int m_files = 0;
};

namespace {
const QString PinA = QString("AA:").repeated(31) + "AA";
const QString PinB = QString("BB:").repeated(31) + "BB";

// Flags as the scan command reads them: an empty or invalid column is a flag not given.
ScanSetup::Overrides overrides(const QVariant &passive, const QString &tls, const QString &trust)
{
    ScanSetup::Overrides run;
    if (passive.isValid())
        run.passive = passive.toBool();
    if (!tls.isEmpty())
        run.tls = FtpLogon::tlsFromName(tls, FtpLogon::Tls::Try);
    run.trustSha256 = CertificateFingerprint::parse(trust);
    return run;
}
} // namespace

QString tst_ScanSetup::settingsFile(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("Harvex%1.ini").arg(++m_files));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

void tst_ScanSetup::logon_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("hostText");
    QTest::addColumn<QVariant>("passiveFlag");
    QTest::addColumn<QString>("tlsFlag");
    QTest::addColumn<QString>("trustFlag");
    QTest::addColumn<bool>("passive");
    QTest::addColumn<QString>("tls");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<int>("deadlineMs");

    const QByteArray all = "[FTP]\nPassive=1\nListing Deadline=30\n[TLS]\nh.example=require\n[TRUST]\nh.example="
        + PinA.toLatin1() + "\n[ENCODING]\nh.example=cp1251\n";
    const int defaultDeadline = FtpLogon().listingDeadlineMs;
    QTest::newRow("nothing set") << QByteArray() << "h.example" << QVariant() << "" << "" << false << "try" << ""
                                 << QByteArray("latin1") << defaultDeadline;
    QTest::newRow("the settings") << all << "h.example" << QVariant() << "" << "" << true << "require" << PinA
                                  << QByteArray("cp1251") << 30000;
    QTest::newRow("a port keeps the host's keys") << all << "h.example:2121" << QVariant() << "" << "" << true
                                                  << "require" << PinA << QByteArray("cp1251") << 30000;
    QTest::newRow("another host's keys stay its own") << all << "other.example" << QVariant() << "" << "" << true
                                                      << "try" << "" << QByteArray("latin1") << 30000;
    QTest::newRow("flags win") << QByteArray("[FTP]\nPassive=0\n[TLS]\nh.example=require\n[TRUST]\nh.example="
                                             + PinA.toLatin1() + "\n")
                               << "h.example" << QVariant(true) << "off" << PinB << true << "off" << PinB
                               << QByteArray("latin1") << defaultDeadline;
    QTest::newRow("ftps:// is TLS whatever the flag") << QByteArray() << "ftps://h.example" << QVariant() << "off"
                                                      << "" << false << "implicit" << "" << QByteArray("latin1")
                                                      << defaultDeadline;
    // Kept as it always was: a setting of "implicit" is the port's nature, not a preference.
    QTest::newRow("implicit in the settings beats the flag")
        << QByteArray("[TLS]\nh.example=implicit\n") << "h.example" << QVariant() << "off" << "" << false
        << "implicit" << "" << QByteArray("latin1") << defaultDeadline;
    QTest::newRow("no deadline of zero") << QByteArray("[FTP]\nListing Deadline=0\n") << "h.example" << QVariant()
                                         << "" << "" << false << "try" << "" << QByteArray("latin1") << defaultDeadline;
}

void tst_ScanSetup::logon()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, hostText);
    QFETCH(QVariant, passiveFlag);
    QFETCH(QString, tlsFlag);
    QFETCH(QString, trustFlag);
    IniFile ini(settingsFile(settings));
    const FtpLogon l = ScanSetup(ini, overrides(passiveFlag, tlsFlag, trustFlag)).logonFor(hostText);
    QTEST(l.passive, "passive");
    QTEST(FtpLogon::tlsName(l.tls), "tls");
    QTEST(l.pinnedSha256.isEmpty() ? QString() : CertificateFingerprint::text(l.pinnedSha256), "pin");
    QTEST(l.codePage, "codePage");
    QTEST(l.listingDeadlineMs, "deadlineMs");
    QCOMPARE(l.host, FtpLogon::fromHostText(hostText).host);
    QCOMPARE(l.port, FtpLogon::fromHostText(hostText).port);
}

void tst_ScanSetup::limitsAndConnections_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QVariant>("depthFlag");
    QTest::addColumn<qint64>("entriesFlag");
    QTest::addColumn<QVariant>("connectionsFlag");
    QTest::addColumn<int>("maxDepth");
    QTest::addColumn<qint64>("maxEntries");
    QTest::addColumn<int>("connections");

    const QByteArray both = "[SCAN]\nMax Depth=12\n[FTP]\nConnections=2\n";
    QTest::newRow("defaults") << QByteArray() << QVariant() << qint64(0) << QVariant() << HostScanner::MaxDepth
                              << qint64(0) << HostScanner::DefaultConnections;
    QTest::newRow("the settings") << both << QVariant() << qint64(0) << QVariant() << 12 << qint64(0) << 2;
    QTest::newRow("flags win") << both << QVariant(3) << qint64(500) << QVariant(9) << 3 << qint64(500) << 9;
    QTest::newRow("one flag, the rest settings") << both << QVariant() << qint64(0) << QVariant(1) << 12 << qint64(0)
                                                 << 1;
    const QByteArray entries = "[SCAN]\nMax Entries=40\n";
    QTest::newRow("Max Entries") << entries << QVariant() << qint64(0) << QVariant() << HostScanner::MaxDepth
                                 << qint64(40) << HostScanner::DefaultConnections;
    QTest::newRow("--max-entries wins") << entries << QVariant() << qint64(7) << QVariant() << HostScanner::MaxDepth
                                        << qint64(7) << HostScanner::DefaultConnections;
    // Neither caps anything, as 0 does.
    QTest::newRow("negative Max Entries") << QByteArray("[SCAN]\nMax Entries=-5\n") << QVariant() << qint64(0)
                                          << QVariant() << HostScanner::MaxDepth << qint64(0)
                                          << HostScanner::DefaultConnections;
    QTest::newRow("Max Entries not a number") << QByteArray("[SCAN]\nMax Entries=lots\n") << QVariant() << qint64(0)
                                              << QVariant() << HostScanner::MaxDepth << qint64(0)
                                              << HostScanner::DefaultConnections;
}

void tst_ScanSetup::limitsAndConnections()
{
    QFETCH(QByteArray, settings);
    QFETCH(QVariant, depthFlag);
    QFETCH(qint64, entriesFlag);
    QFETCH(QVariant, connectionsFlag);
    ScanSetup::Overrides run;
    if (depthFlag.isValid())
        run.maxDepth = depthFlag.toInt();
    run.maxEntries = entriesFlag;
    if (connectionsFlag.isValid())
        run.connections = connectionsFlag.toInt();
    IniFile ini(settingsFile(settings));
    const ScanSetup setup(ini, run);
    QTEST(setup.limits().maxDepth, "maxDepth");
    QTEST(setup.limits().maxEntries, "maxEntries");
    QTEST(setup.connections(), "connections");
}

void tst_ScanSetup::flagsLeaveTheFileAlone()
{
    const QByteArray text = "[FTP]\nPassive=0\n[TLS]\nh.example=require\n";
    const QString path = settingsFile(text);
    IniFile ini(path);
    ScanSetup setup(ini, overrides(true, "off", PinB));
    QVERIFY(setup.logonFor("h.example").passive);
    QCOMPARE(ini.readBool("FTP", "Passive", true), false);
    QCOMPARE(ini.readString("TLS", "h.example", ""), QString("require"));
    QVERIFY(!ini.hasKey("TRUST", "h.example"));
    QVERIFY(!ini.hasChanges());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), text);
}

void tst_ScanSetup::savedFlagsBecomeTheHostsSettings_data()
{
    QTest::addColumn<QVariant>("passiveFlag");
    QTest::addColumn<QString>("tlsFlag");
    QTest::addColumn<QString>("trustFlag");
    QTest::addColumn<QStringList>("written"); // section/key pairs the file has afterwards

    QTest::newRow("all three") << QVariant(true) << "off" << PinB
                               << QStringList{"FTP/Passive", "TLS/h.example", "TRUST/h.example"};
    QTest::newRow("only --tls") << QVariant() << "require" << "" << QStringList{"TLS/h.example"};
    QTest::newRow("no flags") << QVariant() << "" << "" << QStringList{};
}

void tst_ScanSetup::savedFlagsBecomeTheHostsSettings()
{
    QFETCH(QVariant, passiveFlag);
    QFETCH(QString, tlsFlag);
    QFETCH(QString, trustFlag);
    QFETCH(QStringList, written);
    const QString path = settingsFile(QByteArray());
    IniFile ini(path);
    ScanSetup setup(ini, overrides(passiveFlag, tlsFlag, trustFlag));
    QVERIFY(setup.keepForHost("h.example"));
    IniFile after(path);
    for (const QString &key : QStringList{"FTP/Passive", "TLS/h.example", "TRUST/h.example"})
        QCOMPARE(after.hasKey(key.section('/', 0, 0), key.section('/', 1)), written.contains(key));
    // The next run without flags logs on as this one did.
    const FtpLogon flagged = setup.logonFor("h.example");
    const FtpLogon saved = ScanSetup(after).logonFor("h.example");
    QCOMPARE(saved.passive, flagged.passive);
    QCOMPARE(saved.tls, flagged.tls);
    QCOMPARE(saved.pinnedSha256, flagged.pinnedSha256);
}

void tst_ScanSetup::pinnedCertificateServesTheNextLogon()
{
    const QString path = settingsFile("[TRUST]\nh.example=" + PinA.toLatin1() + "\n");
    IniFile ini(path);
    ScanSetup setup(ini);
    QVERIFY(setup.pin("h.example", CertificateFingerprint::parse(PinB)));
    QCOMPARE(CertificateFingerprint::text(setup.logonFor("h.example:21").pinnedSha256), PinB);
    QCOMPARE(IniFile(path).readString("TRUST", "h.example", ""), PinB);
    QCOMPARE(setup.settingsPath(), path);
}

// Two servers on one host are two servers; a choice written by another
// version, or mangled, is no choice.
void tst_ScanSetup::rememberedListingIsThePortsOwn()
{
    const QString path = settingsFile("[LISTING]\nh.example:2121=garbage|x\n");
    IniFile ini(path);
    ScanSetup setup(ini);
    QVERIFY(!setup.logonFor("h.example:2121").listing);
    ListingChoice c;
    c.method = ListingMethod::StatA;
    c.supported = {ListingMethod::Mlsd, ListingMethod::List, ListingMethod::StatA};
    c.clockOffsetS = -12600;
    c.folderSizes = false;
    c.signature = QByteArray(20, '\x5a');
    QVERIFY(setup.rememberListing(setup.logonFor("h.example:2121"), c));
    QCOMPARE(setup.logonFor("h.example:2121").listing, std::optional<ListingChoice>(c));
    QCOMPARE(setup.logonFor("ftp://h.example:2121").listing, std::optional<ListingChoice>(c));
    QVERIFY(!setup.logonFor("h.example").listing);
    QCOMPARE(IniFile(path).readString("LISTING", "h.example:2121", ""), c.text());
    c.method = ListingMethod::Stat; // not among those supported
    QVERIFY(!ListingChoice::fromText(c.text()));
}

QTEST_GUILESS_MAIN(tst_ScanSetup)
#include "tst_scansetup.moc"
