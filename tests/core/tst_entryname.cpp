#include "core/catalogue/EntryName.h"

#include <QtTest>

class tst_EntryName : public QObject
{
    Q_OBJECT
private slots:
    void split_data();
    void split();
};

void tst_EntryName::split_data()
{
    QTest::addColumn<QString>("listed");
    QTest::addColumn<uint>("attr");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ext");
    QTest::newRow("folder") << "pub" << 16u << "pub" << "<DIR>";
    QTest::newRow("folder with a dot") << "v1.2" << 16u << "v1.2" << "<DIR>";
    QTest::newRow("read-only folder is split like a file") << "pub" << 17u << "pub" << "";
    QTest::newRow("upper-case extension") << "README.TXT" << 128u << "README" << "txt";
    QTest::newRow("two dots") << "archive.tar.gz" << 128u << "archive.tar" << "gz";
    QTest::newRow("no extension") << "Makefile" << 128u << "Makefile" << "";
    QTest::newRow("trailing dot") << "notes." << 128u << "notes" << "";
    QTest::newRow("dot-file") << ".profile" << 128u << "" << "profi";
    QTest::newRow("long extension cut") << "data.backup" << 128u << "data" << "backu";
    QTest::newRow("five letters kept") << "page.shtml" << 128u << "page" << "shtml";
    QTest::newRow("colon after dot") << "a.b:c" << 128u << "a.b:c" << "";
    QTest::newRow("backslash after dot") << "a.b\\c" << 128u << "a.b\\c" << "";
    QTest::newRow("only A-Z lowered") << QString::fromUtf8("x.ÄBC") << 128u << "x" << QString::fromUtf8("Äbc");
    QTest::newRow("type of a long name kept") << QString(78, 'n') + ".txt" << 128u << QString(78, 'n') << "txt";
    QTest::newRow("100 characters: stem cut, type kept")
        << QString(96, 'h') + ".JPG" << 128u << QString(80, 'h') << "jpg";
    QTest::newRow("dot inside the cut stem is no type")
        << "a.b" + QString(97, 'h') + ".jpg" << 128u << ("a.b" + QString(77, 'h')) << "jpg";
    QTest::newRow("case kept in name") << "readme" << 128u << "readme" << "";
    // U+1F600 takes two UTF-16 units; a cut between them left a lone half.
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("emoji across the name cut goes whole")
        << QString(79, 'n') + smile + "x" << 128u << QString(79, 'n') << "";
    QTest::newRow("emoji before the name cut stays") << QString(78, 'n') + smile + "x" << 128u
                                                     << QString(78, 'n') + smile << "";
    QTest::newRow("emoji across the extension cut goes whole")
        << "a.exte" + smile << 128u << "a" << "exte";
    QTest::newRow("emoji within the extension stays") << "a.ex" + smile + "z" << 128u << "a" << "ex" + smile + "z";
}

void tst_EntryName::split()
{
    QFETCH(QString, listed);
    QFETCH(uint, attr);
    QFETCH(QString, name);
    QFETCH(QString, ext);
    const EntryName e = EntryName::split(listed, attr);
    QCOMPARE(e.name, name);
    QCOMPARE(e.ext, ext);
}

QTEST_GUILESS_MAIN(tst_EntryName)
#include "tst_entryname.moc"
