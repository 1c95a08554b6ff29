#include "core/base/IniFile.h"
#include "core/ftp/CertificateFingerprint.h"
#include "core/scan/ScanOptions.h"
#include "core/scan/ScanSetup.h"

#include <QTemporaryDir>
#include <QtTest>

// The Options dialog's reading and writing of the scan keys: what a scan
// would use is shown, and only what the user changed is written.
class tst_ScanOptions : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void defaultsAreTheScansOwn();
    void writesOnlyWhatDiffers_data();
    void writesOnlyWhatDiffers();
    void hostsOnceWithoutPort();
    void pinsListedAndForgotten();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<IniFile> m_ini;
};

void tst_ScanOptions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = std::make_unique<IniFile>(m_dir->filePath("Harvex.ini"));
}

void tst_ScanOptions::defaultsAreTheScansOwn()
{
    const ScanOptions::Program p = ScanOptions(*m_ini).program();
    ScanSetup setup(*m_ini);
    QCOMPARE(p.connections, setup.connections());
    QCOMPARE(p.maxDepth, setup.limits().maxDepth);
    QCOMPARE(p.maxEntries, 0);
    QCOMPARE(p.listingDeadlineS * 1000, FtpLogon().listingDeadlineMs);
    QCOMPARE(p.passive, false);
    const ScanOptions::Host h = ScanOptions(*m_ini).host("ftp.example.org:2121");
    QCOMPARE(h.tls, FtpLogon::Tls::Try);
    QCOMPARE(h.codePage, QByteArray("latin1"));
    QVERIFY(h.pinnedSha256.isEmpty());
}

void tst_ScanOptions::writesOnlyWhatDiffers_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("passive") << "FTP" << "Passive" << "1";
    QTest::newRow("connections") << "FTP" << "Connections" << "2";
    QTest::newRow("deadline") << "FTP" << "Listing Deadline" << "30";
    QTest::newRow("depth") << "SCAN" << "Max Depth" << "9";
    QTest::newRow("entries") << "SCAN" << "Max Entries" << "6000000000";
    QTest::newRow("TLS") << "TLS" << "ftp.example.org" << "require";
    QTest::newRow("code page") << "ENCODING" << "ftp.example.org" << "cp1251";
}

void tst_ScanOptions::writesOnlyWhatDiffers()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    ScanOptions options(*m_ini);
    ScanOptions::Program p = options.program();
    ScanOptions::Host h = options.host("ftp://ftp.example.org:2121");
    options.setProgram(p);
    options.setHost("ftp.example.org", h);
    QVERIFY(!m_ini->hasChanges());
    const QMap<QString, std::function<void()>> change{
        {"Passive", [&] { p.passive = true; }},
        {"Connections", [&] { p.connections = 2; }},
        {"Listing Deadline", [&] { p.listingDeadlineS = 30; }},
        {"Max Depth", [&] { p.maxDepth = 9; }},
        {"Max Entries", [&] { p.maxEntries = 6000000000; }},
    };
    if (change.contains(key))
        change.value(key)();
    else if (section == "TLS")
        h.tls = FtpLogon::Tls::Require;
    else
        h.codePage = "cp1251";
    options.setProgram(p);
    options.setHost("ftp.example.org:2121", h);
    QVERIFY(m_ini->save());
    const IniFile after(m_ini->path());
    for (const char *s : {"FTP", "SCAN", "TLS", "ENCODING"})
        QCOMPARE(after.keys(s), s == section ? QStringList{key} : QStringList());
    QCOMPARE(after.readString(section, key, ""), value);
    // What a scan reads is what was set.
    QCOMPARE(ScanOptions(*m_ini).program().maxEntries, p.maxEntries);
    QCOMPARE(ScanSetup(*m_ini).logonFor("ftp.example.org").codePage, h.codePage);
}

void tst_ScanOptions::hostsOnceWithoutPort()
{
    m_ini->writeString("ENCODING", "b.example.org", "cp1251");
    m_ini->writeString("TLS", "A.example.org", "off");
    m_ini->writeString("TRUST", "c.example.org", "AB");
    const QStringList hosts = ScanOptions(*m_ini).hosts({"ftp://a.example.org:21", "", "d.example.org", "c.example.org:990"});
    QCOMPARE(hosts, (QStringList{"a.example.org", "d.example.org", "c.example.org", "b.example.org"}));
}

void tst_ScanOptions::pinsListedAndForgotten()
{
    const QByteArray sha(32, '\x07');
    m_ini->writeString("TRUST", "a.example.org", CertificateFingerprint::text(sha));
    m_ini->writeString("TRUST", "broken.example.org", "not a fingerprint");
    ScanOptions options(*m_ini);
    QCOMPARE(options.pins().size(), 1);
    QCOMPARE(options.pins()[0].host, QString("a.example.org"));
    QCOMPARE(options.host("a.example.org:2121").pinnedSha256, sha);
    options.forget("ftp://a.example.org:2121");
    QVERIFY(options.pins().isEmpty());
    QVERIFY(ScanSetup(*m_ini).logonFor("a.example.org").pinnedSha256.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ScanOptions)
#include "tst_scanoptions.moc"
