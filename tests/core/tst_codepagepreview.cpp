#include "core/base/FileEntry.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ExactNames.h"
#include "core/scan/CodePagePreview.h"

#include <QTemporaryDir>
#include <QtTest>

// A code page tried on a host's stored names: only names that are not
// UTF-8 are shown, of every stored host text that names the host.
class tst_CodePagePreview : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void decodesOnlyTheHostsNamesThatAreNotUtf8();
    void atMostMaxNames();
    void unknownCodePageShowsNothing_data();
    void unknownCodePageShowsNothing();

private:
    void store(const QByteArray &bytes, const QString &host);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

void tst_CodePagePreview::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
}

void tst_CodePagePreview::store(const QByteArray &bytes, const QString &host)
{
    FileEntry e;
    e.wireName = bytes;
    e.name = ExactNames::decode(bytes, "latin1");
    e.kind = FileEntry::kindOf(128);
    m_cat->StoreEntry(e, 0, host);
    ExactNames::recodeIfChanged(*m_cat, host, "latin1");
}

void tst_CodePagePreview::decodesOnlyTheHostsNamesThatAreNotUtf8()
{
    store("\xce\xf2\xf7\xe5\xf2.txt", "ru.example.org:2121");
    store("\xcf\xe0\xef\xea\xe0", "ru.example.org");
    store(QString::fromUtf8("Уже UTF-8.TXT").toUtf8(), "ru.example.org"); // has an ExactName row, is UTF-8
    store("\xc4\xe0", "other.example.org");
    const CodePagePreview preview(*m_cat, "ru.example.org");
    QStringList names = preview.decoded("cp1251");
    names.sort();
    QCOMPARE(names, (QStringList{QString::fromUtf8("Отчет.txt"), QString::fromUtf8("Папка")}));
    QVERIFY(CodePagePreview(*m_cat, "nowhere.example.org").isEmpty());
}

void tst_CodePagePreview::atMostMaxNames()
{
    for (int i = 0; i < CodePagePreview::MaxNames + 5; ++i)
        store("\xe0" + QByteArray::number(i), "big.example.org");
    QCOMPARE(CodePagePreview(*m_cat, "big.example.org").decoded("cp1251").size(), CodePagePreview::MaxNames);
}

void tst_CodePagePreview::unknownCodePageShowsNothing_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<bool>("known");
    QTest::newRow("cp1251") << QByteArray("cp1251") << true;
    QTest::newRow("koi8-r") << QByteArray("koi8-r") << true;
    QTest::newRow("latin1") << QByteArray("latin1") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("made up") << QByteArray("no-such-page") << false;
}

void tst_CodePagePreview::unknownCodePageShowsNothing()
{
    QFETCH(QByteArray, codePage);
    QFETCH(bool, known);
    store("\xce\xf2", "ru.example.org");
    QCOMPARE(CodePagePreview::isKnown(codePage), known);
    QCOMPARE(CodePagePreview(*m_cat, "ru.example.org").decoded(codePage).size(), known ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_CodePagePreview)
#include "tst_codepagepreview.moc"
