#include "core/catalogue/EntryFields.h"

#include <QTest>
#include <cstring>

// A listed entry becomes the catalogue's columns once: these are the values
// stored catalogues hold, so none may drift.
class tst_EntryFields : public QObject
{
    Q_OBJECT
private slots:
    void kindsKeepTheirStoredAttributes_data();
    void kindsKeepTheirStoredAttributes();
    void columnsOfAFile();
    void unknownSizeStoresZero();
    void entriesWithoutListedBytesMatchByName();
    void onlyFoldersSplitAsFolders();
};

void tst_EntryFields::kindsKeepTheirStoredAttributes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint32>("attr");
    QTest::newRow("file") << int(FileEntry::Kind::File) << 128u;
    QTest::newRow("folder") << int(FileEntry::Kind::Directory) << 16u;
    QTest::newRow("link") << int(FileEntry::Kind::Link) << 1024u;
    QTest::newRow("link to a folder") << int(FileEntry::Kind::LinkToDirectory) << 1040u;
}

void tst_EntryFields::kindsKeepTheirStoredAttributes()
{
    QFETCH(int, kind);
    QFETCH(quint32, attr);
    FileEntry e;
    e.kind = FileEntry::Kind(kind);
    QCOMPARE(e.attributes(), attr);
    QCOMPARE(int(FileEntry::kindOf(attr)), kind);
    QCOMPARE(EntryFields::of(e).attr, qint32(attr));
}

void tst_EntryFields::columnsOfAFile()
{
    FileEntry e;
    e.name = QStringLiteral("Report.PDF");
    e.wireName = "Report.PDF";
    e.size = 5368709120ull;
    e.time = 0x01D9000000000123ull;
    const EntryFields f = EntryFields::of(e);
    QCOMPARE(f.split.name, QStringLiteral("Report"));
    QCOMPARE(f.split.ext, QStringLiteral("pdf"));
    QCOMPARE(f.exact, QByteArray("Report.PDF"));
    QCOMPARE(f.size, 5368709120.0);
    quint64 bits;
    std::memcpy(&bits, &f.lac, sizeof bits);
    QCOMPARE(bits, e.time); // LAC holds the count's bits, not its value
    QVERIFY(!f.folder);
}

void tst_EntryFields::unknownSizeStoresZero()
{
    FileEntry e;
    e.name = QStringLiteral("odd");
    e.size = 77;
    e.sizeKnown = false;
    QCOMPARE(EntryFields::of(e).size, 0.0);
}

void tst_EntryFields::entriesWithoutListedBytesMatchByName()
{
    FileEntry e;
    e.name = QString::fromUtf8("Документ.txt");
    QCOMPARE(EntryFields::of(e).exact, QString::fromUtf8("Документ.txt").toUtf8());
    e.wireName = "\xc4\xee\xea"; // cp1251 bytes: the listed ones win
    QCOMPARE(EntryFields::of(e).exact, QByteArray("\xc4\xee\xea"));
}

void tst_EntryFields::onlyFoldersSplitAsFolders()
{
    FileEntry e;
    e.name = QStringLiteral("linux.d");
    e.kind = FileEntry::Kind::Directory;
    EntryFields f = EntryFields::of(e);
    QVERIFY(f.folder);
    QCOMPARE(f.split.ext, QStringLiteral("<DIR>"));
    e.kind = FileEntry::Kind::LinkToDirectory; // a link is matched as a file, as catalogues always had it
    f = EntryFields::of(e);
    QVERIFY(!f.folder);
    QCOMPARE(f.split.ext, QStringLiteral("d"));
}

QTEST_APPLESS_MAIN(tst_EntryFields)
#include "tst_entryfields.moc"
