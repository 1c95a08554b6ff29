#include "core/base/IniFile.h"
#include "core/scan/ScanOptionsDraft.h"

#include <QTemporaryDir>
#include <QtTest>

// The Options dialog's edits: nothing is written until applied, and the
// hosts whose stored names are to be decoded again are reported.
class tst_ScanOptionsDraft : public QObject
{
    Q_OBJECT
private slots:
    void appliedTogether();
};

void tst_ScanOptionsDraft::appliedTogether()
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath("Harvex.ini"));
    ini.writeString("TRUST", "ru.example.org", QString(64, 'A'));
    ini.writeString("ENCODING", "koi.example.org", "koi8-r");
    ScanOptions options(ini);
    ScanOptionsDraft draft;
    draft.load(options);
    QVERIFY(!draft.host("ru.example.org").pinnedSha256.isEmpty());
    ScanOptions::Host ru = draft.host("ru.example.org");
    ru.codePage = "cp1251";
    draft.setHost("ru.example.org:2121", ru);
    draft.setHost("koi.example.org", draft.host("koi.example.org"));
    draft.forget("ftp://ru.example.org");
    ScanOptions::Program p = draft.program();
    p.passive = true;
    draft.setProgram(p);
    QCOMPARE(draft.host("ru.example.org").codePage, QByteArray("cp1251"));
    QVERIFY(draft.host("ru.example.org").pinnedSha256.isEmpty());
    QVERIFY(ini.hasKey("TRUST", "ru.example.org"));
    QCOMPARE(ini.readBool("FTP", "Passive", false), false);
    QCOMPARE(draft.apply(options), QStringList{"ru.example.org"});
    QCOMPARE(ini.readString("ENCODING", "ru.example.org", ""), QString("cp1251"));
    QCOMPARE(ini.readString("ENCODING", "koi.example.org", ""), QString("koi8-r"));
    QVERIFY(!ini.hasKey("TRUST", "ru.example.org"));
    QCOMPARE(ini.readBool("FTP", "Passive", false), true);
    // Loaded again, the draft starts from the settings.
    draft.load(options);
    QCOMPARE(draft.host("ru.example.org").codePage, QByteArray("cp1251"));
}

QTEST_GUILESS_MAIN(tst_ScanOptionsDraft)
#include "tst_scanoptionsdraft.moc"
