#include "core/catalogue/Catalogue.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/SearchExport.h"

#include <QBuffer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// A find's rows written out: CSV for a spreadsheet, addresses for a download tool.
class tst_SearchExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void csvFields_data();
    void csvFields();
    void csvHasTheGridsColumnsAndPaths();
    void urlsFromTheListedBytes();
    void aFullDeviceIsSaid();

private:
    QByteArray written(SearchExport::Format format, SearchExport *exporter = nullptr);
    QTemporaryDir m_dir;
    Catalogue m_cat;
};

void tst_SearchExport::initTestCase()
{
    m_cat.open(m_dir.filePath("DB"));
    FileEntry e;
    e.name = "pub";
    e.kind = FileEntry::Kind::Directory;
    const qint32 pub = m_cat.StoreEntry(e, 0, "h.example");
    e.kind = FileEntry::Kind::File;
    e.size = 5ull << 30;
    e.name = QString::fromLatin1("a b#c?d%e,\"f\xe9.iso");
    e.wireName = "a b#c?d%e,\"f\xe9.iso"; // latin1 é: not UTF-8
    m_cat.StoreEntry(e, pub, "h.example");
    m_cat.flush();
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("INSERT INTO DB VALUES ('lost', 'txt', 1, 'h.example', 128, 0, 7001, 7000)"));
}

QByteArray tst_SearchExport::written(SearchExport::Format format, SearchExport *exporter)
{
    PathSearch search(m_cat.database());
    SearchExport own(search);
    SearchExport &x = exporter ? *exporter : own;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    SearchTerms terms;
    terms.kind = SearchTerms::Kind::Files;
    if (!x.write(out, format, terms, QString()))
        return QByteArray();
    return out.data();
}

void tst_SearchExport::csvFields_data()
{
    QTest::addColumn<QVariantList>("fields");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << QVariantList{"a", 1, QVariant()} << QByteArray("a,1,\r\n");
    QTest::newRow("comma and quote") << QVariantList{"a,b", "say \"hi\""} << QByteArray("\"a,b\",\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("line end") << QVariantList{"a\nb"} << QByteArray("\"a\nb\"\r\n");
    QTest::newRow("size past 2^53 as double") << QVariantList{double(1ll << 40)} << QByteArray("1099511627776\r\n");
    QTest::newRow("other script") << QVariantList{QString::fromUtf8("Отчет")} << QString::fromUtf8("Отчет\r\n").toUtf8();
}

void tst_SearchExport::csvFields()
{
    QFETCH(QVariantList, fields);
    QFETCH(QByteArray, line);
    QCOMPARE(SearchExport::csvLine(fields), line);
}

void tst_SearchExport::csvHasTheGridsColumnsAndPaths()
{
    const QList<QByteArray> lines = written(SearchExport::Format::Csv).split('\n');
    QCOMPARE(lines.size(), 4); // header, two rows, the last line end
    QCOMPARE(lines[0], QByteArray("Name,ext,Size,Host,Attr,LAC,ID,PID,Path,Date\r"));
    const QByteArray iso = lines[1].startsWith("lost") ? lines[2] : lines[1];
    QVERIFY2(iso.contains(",5368709120,h.example,"), iso.constData());
    QVERIFY2(iso.contains(QString::fromLatin1(",\"h.example/pub/a b#c?d%e,\"\"f\xe9.iso\",").toUtf8()), iso.constData());
}

// Every byte that is not plain travels as %XX, the latin1 é as %E9.
void tst_SearchExport::urlsFromTheListedBytes()
{
    PathSearch search(m_cat.database());
    SearchExport x(search);
    QCOMPARE(written(SearchExport::Format::Urls, &x), QByteArray("ftp://h.example/pub/a%20b%23c%3Fd%25e%2C%22f%E9.iso\n"));
    QCOMPARE(x.written(), 1);
    QCOMPARE(x.unaddressed(), 1); // below a folder the catalogue lacks
}

void tst_SearchExport::aFullDeviceIsSaid()
{
    PathSearch search(m_cat.database());
    SearchExport x(search);
    QBuffer closed; // not open: every write fails
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("device not open"));
    QVERIFY(!x.write(closed, SearchExport::Format::Csv, SearchTerms(), QString()));
}

QTEST_GUILESS_MAIN(tst_SearchExport)
#include "tst_searchexport.moc"
