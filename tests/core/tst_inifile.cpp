#include "core/base/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_IniFile : public QObject
{
    Q_OBJECT
private slots:
    void scansOnSeveralThreadsShareOneFile();
    void keysWithSpacesStayAsWritten();
    void defaultsWhenMissing();
    void untouchedKeysSurvive();
    void bothProgramsWritingMerge();
    void removalMerges();
    void reloadSeesTheOtherProgramAndKeepsOwnChanges();
};

void tst_IniFile::keysWithSpacesStayAsWritten()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.ini");
    IniFile ini(path);
    ini.writeBool("FORM", "Save Window Position", true);
    ini.writeBool("FORM", "Show Host", false);
    ini.writeInt("FORM", "Left Panel", 146);
    ini.writeInt("HOSTS", "Host Count", 1);
    ini.writeString("HOSTS", "1", "ftp.example.org");
    QVERIFY(ini.save());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QCOMPARE(text, QString("[FORM]\nSave Window Position=1\nShow Host=0\nLeft Panel=146\n\n\n"
                           "[HOSTS]\nHost Count=1\n1=ftp.example.org\n"));
    IniFile again(path);
    QCOMPARE(again.readBool("FORM", "Save Window Position", false), true);
    QCOMPARE(again.readInt("FORM", "Left Panel", 0), 146);
}

void tst_IniFile::defaultsWhenMissing()
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath("none.ini"));
    QCOMPARE(ini.readInt("HOSTS", "Host Count", -1), -1);
    QCOMPARE(ini.readBool("FORM", "Show Host", true), true);
    QCOMPARE(ini.readString("HOSTS", "1", ""), QString());
}

void tst_IniFile::untouchedKeysSurvive()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.ini");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[FORM]\r\nTop=5\r\nLeft=6\r\n[ENCODING]\r\nftp.example.ru=cp1251\r\n");
    f.close();
    IniFile ini(path);
    ini.writeBool("FORM", "Show Host", true);
    QVERIFY(ini.save());
    IniFile again(path);
    QCOMPARE(again.readInt("FORM", "Top", 0), 5);
    QCOMPARE(again.readString("ENCODING", "ftp.example.ru", ""), QString("cp1251"));
}

// The desktop program holds the file open for hours while harvex-cli saves
// into it; at exit only the keys the desktop program changed are written.
void tst_IniFile::bothProgramsWritingMerge()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.ini");
    {
        IniFile first(path);
        first.writeBool("FTP", "Passive", false);
        first.writeInt("HOSTS", "Host Count", 1);
        first.writeString("HOSTS", "1", "old.example.org");
        QVERIFY(first.save());
    }
    IniFile desktop(path);
    IniFile cli(path);
    cli.writeBool("FTP", "Passive", true);
    cli.writeString("TRUST", "ftp.example.org", "AB:CD");
    QVERIFY(cli.save());
    // The desktop program writes all its keys, most of them unchanged.
    desktop.writeBool("FTP", "Passive", false);
    desktop.writeInt("HOSTS", "Host Count", 2);
    desktop.writeString("HOSTS", "1", "new.example.org");
    desktop.writeString("HOSTS", "2", "old.example.org");
    desktop.writeInt("FORM", "Left Panel", 200);
    QVERIFY(desktop.save());
    IniFile after(path);
    QCOMPARE(after.readBool("FTP", "Passive", false), true);
    QCOMPARE(after.readString("TRUST", "ftp.example.org", ""), QString("AB:CD"));
    QCOMPARE(after.readInt("HOSTS", "Host Count", 0), 2);
    QCOMPARE(after.readString("HOSTS", "1", ""), QString("new.example.org"));
    QCOMPARE(after.readInt("FORM", "Left Panel", 0), 200);
    // After a save the object sees the other program's keys too.
    QCOMPARE(desktop.readBool("FTP", "Passive", false), true);
    QVERIFY(!desktop.hasChanges());
}

// A key removed here goes from the file at save(), whatever the other
// program wrote meanwhile elsewhere; its emptied section goes with it.
void tst_IniFile::removalMerges()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.ini");
    {
        IniFile first(path);
        first.writeString("TRUST", "b.example.org", "AB");
        first.writeString("TRUST", "a.example.org", "CD");
        first.writeString("TLS", "a.example.org", "require");
        QVERIFY(first.save());
    }
    IniFile desktop(path);
    QCOMPARE(desktop.keys("TRUST"), (QStringList{"b.example.org", "a.example.org"}));
    IniFile cli(path);
    cli.writeString("TRUST", "c.example.org", "EF");
    QVERIFY(cli.save());
    desktop.remove("TRUST", "b.example.org");
    desktop.remove("TLS", "a.example.org");
    desktop.remove("TLS", "never.example.org");
    QVERIFY(!desktop.hasKey("TRUST", "b.example.org"));
    QVERIFY(desktop.save());
    IniFile after(path);
    QCOMPARE(after.keys("TRUST"), (QStringList{"a.example.org", "c.example.org"}));
    QVERIFY(after.keys("TLS").isEmpty());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("[TLS]"));
}

void tst_IniFile::reloadSeesTheOtherProgramAndKeepsOwnChanges()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.ini");
    IniFile desktop(path);
    desktop.writeInt("FORM", "Top", 5);
    IniFile cli(path);
    cli.writeString("TRUST", "a.example.org", "AB");
    QVERIFY(cli.save());
    QVERIFY(!desktop.hasKey("TRUST", "a.example.org"));
    desktop.reload();
    QCOMPARE(desktop.readString("TRUST", "a.example.org", ""), QString("AB"));
    QCOMPARE(desktop.readInt("FORM", "Top", 0), 5);
    QVERIFY(desktop.hasChanges());
    QVERIFY(!QFile::exists(path) || !IniFile(path).hasKey("FORM", "Top"));
}

// Scans of several hosts at once write their listing choices and pins
// into one object, each from its own thread.
void tst_IniFile::scansOnSeveralThreadsShareOneFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Harvex.ini");
    IniFile ini(path);
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([&ini, t] {
            for (int i = 0; i < 50; ++i) {
                ini.writeString("LISTING", QStringLiteral("host%1:%2").arg(t).arg(i), QString::number(i));
                ini.readString("TRUST", "x", "");
                QVERIFY(ini.save());
            }
        });
        threads.last()->start();
    }
    for (QThread *t : threads) {
        QVERIFY(t->wait(60000));
        delete t;
    }
    const IniFile read(path);
    QCOMPARE(read.keys("LISTING").size(), 200);
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
