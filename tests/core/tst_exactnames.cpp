#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ExactNames.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class tst_ExactNames : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void namesThatCutsAndCaseWouldMerge_data();
    void namesThatCutsAndCaseWouldMerge();
    void listedBytesComeBack_data();
    void listedBytesComeBack();
    void onlyNamesTheFieldsLoseGetARow();
    void recodeAfterTheCodePageChanges();

private:
    // bytes as the server listed them, decoded the way the FTP client does.
    static FileEntry listed(const QByteArray &bytes, quint32 attr = 128, const char *codePage = "latin1");
    int exactRows();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

FileEntry tst_ExactNames::listed(const QByteArray &bytes, quint32 attr, const char *codePage)
{
    FileEntry e;
    e.name = ExactNames::decode(bytes, codePage);
    e.wireName = bytes;
    e.kind = FileEntry::kindOf(attr);
    return e;
}

int tst_ExactNames::exactRows()
{
    QSqlQuery q(m_cat->database());
    q.exec("SELECT COUNT(*) FROM ExactName");
    return q.next() ? q.value(0).toInt() : -1;
}

void tst_ExactNames::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
}

void tst_ExactNames::namesThatCutsAndCaseWouldMerge_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    const QByteArray shared(80, 'p');
    QTest::newRow("case of the extension") << QByteArray("x.JPG") << QByteArray("x.jpg");
    QTest::newRow("90 characters, 80 shared") << shared + "0123456789" << shared + "9876543210";
    QTest::newRow("NFC and NFD") << QStringLiteral(u"caf\u00e9").toUtf8() << QStringLiteral(u"cafe\u0301").toUtf8();
    QTest::newRow("same name, other extension") << QByteArray("readme.txt") << QByteArray("readme.doc");
    QTest::newRow("trailing dot") << QByteArray("notes.") << QByteArray("notes");
    QTest::newRow("two code pages, one decoding") << QByteArray("\xe9t\xe9") << QByteArray("\xc3\xa9t\xc3\xa9");
}

// Every listed entry is kept, and storing the listing again adds nothing.
void tst_ExactNames::namesThatCutsAndCaseWouldMerge()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    const qint32 a = m_cat->StoreEntry(listed(first), 0, "h");
    const qint32 b = m_cat->StoreEntry(listed(second), 0, "h");
    QVERIFY(a != b);
    QCOMPARE(m_cat->StoreEntry(listed(first), 0, "h"), a);
    QCOMPARE(m_cat->StoreEntry(listed(second), 0, "h"), b);
    QCOMPARE(m_cat->recordCount(), 2);
    QCOMPARE(m_cat->recordById(a)->exact, first);
    QCOMPARE(m_cat->recordById(b)->exact, second);
}

void tst_ExactNames::listedBytesComeBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<uint>("attr");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ext");
    QTest::newRow("dot-file") << QByteArray(".hidden") << 128u << "" << "hidde";
    QTest::newRow("two extensions") << QByteArray("archive.tar.gz") << 128u << "archive.tar" << "gz";
    QTest::newRow("upper-case extension") << QByteArray("README.TXT") << 128u << "README" << "txt";
    QTest::newRow("long folder") << QByteArray(100, 'd') << 16u << QString(80, u'd') << "<DIR>";
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9.txt") << 128u << QStringLiteral(u"caf\u00e9") << "txt";
}

// Name and ext keep their cuts; the exact name comes back beside them.
void tst_ExactNames::listedBytesComeBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(uint, attr);
    QFETCH(QString, name);
    QFETCH(QString, ext);
    const auto row = m_cat->recordById(m_cat->StoreEntry(listed(bytes, attr), 0, "h"));
    QCOMPARE(row->name, name);
    QCOMPARE(row->ext, ext);
    QCOMPARE(row->exact, bytes);
}

void tst_ExactNames::onlyNamesTheFieldsLoseGetARow()
{
    for (const char *n : {"readme.txt", "Makefile", "archive.tar.gz", "pub"})
        m_cat->StoreEntry(listed(n), 0, "h");
    m_cat->StoreEntry(listed("Folder.With.Dots", 16), 0, "h");
    QCOMPARE(exactRows(), 0);
    m_cat->StoreEntry(listed("A.TXT"), 0, "h");
    m_cat->StoreEntry(listed(".profile"), 0, "h");
    QCOMPARE(exactRows(), 2);
}

void tst_ExactNames::recodeAfterTheCodePageChanges()
{
    const QByteArray report = QStringLiteral(u"Отчёт.DOC").toUtf8(); // UTF-8: decoded alike whatever the setting
    QByteArray cp1251 = "\xce\xf2\xf7\xe5\xf2"; // "Отчет" in cp1251
    const qint32 dir = m_cat->StoreEntry(listed(cp1251, 16), 0, "h");
    const qint32 file = m_cat->StoreEntry(listed(cp1251 + ".txt"), dir, "h");
    const qint32 utf8 = m_cat->StoreEntry(listed(report), dir, "h");
    const qint32 other = m_cat->StoreEntry(listed(cp1251), 0, "other");
    QCOMPARE(m_cat->recordById(dir)->name, QString::fromLatin1(cp1251));

    QCOMPARE(ExactNames::recodeIfChanged(*m_cat, "h", "latin1"), 0); // noted, nothing to do
    QCOMPARE(ExactNames::recodeIfChanged(*m_cat, "h", "latin1"), 0);
    QCOMPARE(ExactNames::recodeIfChanged(*m_cat, "h", "cp1251"), 2);
    QCOMPARE(m_cat->recordById(dir)->name, QStringLiteral(u"Отчет"));
    QCOMPARE(m_cat->recordById(dir)->ext, QString("<DIR>"));
    QCOMPARE(m_cat->recordById(file)->name, QStringLiteral(u"Отчет"));
    QCOMPARE(m_cat->recordById(file)->ext, QString("txt"));
    QCOMPARE(m_cat->recordById(utf8)->name, QStringLiteral(u"Отчёт"));
    QCOMPARE(m_cat->recordById(other)->name, QString::fromLatin1(cp1251)); // another host's setting
    QCOMPARE(m_cat->recordById(file)->exact, cp1251 + ".txt");
    QCOMPARE(ExactNames::notedHosts(*m_cat), QStringList{"h"});

    // Stored again after the change: matched by its bytes, not added.
    QCOMPARE(m_cat->StoreEntry(listed(cp1251 + ".txt", 128, "cp1251"), dir, "h"), file);
    QCOMPARE(ExactNames::recode(*m_cat, "h", "koi8-r"), 2);
}

QTEST_GUILESS_MAIN(tst_ExactNames)
#include "tst_exactnames.moc"
