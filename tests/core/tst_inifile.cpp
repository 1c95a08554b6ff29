#include "core/base/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_IniFile : public QObject
{
    Q_OBJECT
private slots:
    void keysWithSpacesStayAsWritten();
    void defaultsWhenMissing();
    void untouchedKeysSurvive();
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

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
