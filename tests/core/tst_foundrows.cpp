#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/FoundRows.h"
#include "PgTestServer.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// A find's rows for the grid: the table's columns and each row's whole path.
class tst_FoundRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void columnsAndPaths();
    void termsNarrowAndUnderAFolder();
    void pathColumnKeepsTheOrder();
    void refusedTermsThrow();
    void pathsOnPostgreSql();

private:
    void fill(Catalogue &cat);
    static qint32 store(Catalogue &cat, const QString &name, FileEntry::Kind kind, qint32 pid, quint64 size = 1, const QByteArray &wire = {});
    QHash<QString, QString> pathsByName(FoundRows &rows);
    QTemporaryDir m_dir;
    Catalogue m_cat;
};

qint32 tst_FoundRows::store(Catalogue &cat, const QString &name, FileEntry::Kind kind, qint32 pid, quint64 size, const QByteArray &wire)
{
    FileEntry e;
    e.name = name;
    e.wireName = wire;
    e.kind = kind;
    e.size = size;
    return cat.StoreEntry(e, pid, QStringLiteral("h.example"));
}

void tst_FoundRows::initTestCase()
{
    m_cat.open(m_dir.filePath("DB"));
    fill(m_cat);
}

void tst_FoundRows::fill(Catalogue &cat)
{
    const qint32 pub = store(cat, "pub", FileEntry::Kind::Directory, 0);
    const qint32 iso = store(cat, "ISO", FileEntry::Kind::Directory, pub);
    store(cat, "disc.ISO", FileEntry::Kind::File, iso, 700ull << 20);
    store(cat, "a b#c.txt", FileEntry::Kind::File, pub, 10);
    store(cat, QString::fromLatin1("caf\xe9.txt"), FileEntry::Kind::File, pub, 20, "caf\xe9.txt");
    store(cat, "top.txt", FileEntry::Kind::File, 0, 30);
    cat.flush();
}

QHash<QString, QString> tst_FoundRows::pathsByName(FoundRows &rows)
{
    QHash<QString, QString> paths;
    for (int r = 0; r < rows.rowCount(); ++r)
        paths.insert(rows.record(r).value("Name").toString(), rows.index(r, rows.pathColumn()).data().toString());
    return paths;
}

void tst_FoundRows::columnsAndPaths()
{
    FoundRows rows(m_cat.connectionName());
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    rows.search(SearchTerms(), QString());
    QVERIFY(rows.open());
    QCOMPARE(rows.recordCount(), 6);
    QCOMPARE(rows.headerData(0, Qt::Horizontal).toString(), QString("Name"));
    QCOMPARE(rows.headerData(rows.pathColumn(), Qt::Horizontal).toString(), QString("Path"));
    QCOMPARE(rows.record().indexOf("ID"), 6);
    const QHash<QString, QString> paths = pathsByName(rows);
    QCOMPARE(paths.value("disc"), QString("h.example/pub/ISO/disc.ISO")); // as listed, not as stored
    QCOMPARE(paths.value("a b#c"), QString("h.example/pub/a b#c.txt"));
    QCOMPARE(paths.value("top"), QString("h.example/top.txt"));
    QCOMPARE(paths.value("ISO"), QString("h.example/pub/ISO"));
    // Not UTF-8: the host's code page, latin1 without one.
    QCOMPARE(paths.value(QString::fromLatin1("caf\xe9")), QString::fromLatin1("h.example/pub/caf\xe9.txt"));
}

void tst_FoundRows::termsNarrowAndUnderAFolder()
{
    FoundRows rows(m_cat.connectionName());
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SearchTerms terms;
    terms.minSize = 15;
    terms.kind = SearchTerms::Kind::Files;
    rows.search(terms, QString());
    QVERIFY(rows.open());
    QCOMPARE(rows.recordCount(), 3);
    rows.close();
    rows.search(terms, "h.example/pub");
    QVERIFY(rows.open());
    QCOMPARE(pathsByName(rows).keys().size(), 2);
    QVERIFY(!pathsByName(rows).contains("top"));
    rows.close();
    rows.search(terms, "h.example/nowhere");
    QVERIFY(rows.open());
    QCOMPARE(rows.recordCount(), 0);
    QCOMPARE(rows.under(), QString("h.example/nowhere"));
}

// A click on Path leaves the rows as they were; other columns sort.
void tst_FoundRows::pathColumnKeepsTheOrder()
{
    FoundRows rows(m_cat.connectionName());
    rows.search(SearchTerms(), QString());
    QVERIFY(rows.open());
    rows.sort(rows.pathColumn(), Qt::DescendingOrder);
    QCOMPARE(rows.sortColumn(), -1);
    const int size = rows.record().indexOf("Size");
    rows.sort(size, Qt::DescendingOrder);
    QCOMPARE(rows.sortColumn(), size);
    QCOMPARE(rows.record(0).value("Name").toString(), QString("disc"));
}

void tst_FoundRows::refusedTermsThrow()
{
    FoundRows rows(m_cat.connectionName());
    SearchTerms terms;
    terms.regex = true;
    terms.pattern = "([";
    QVERIFY_THROWS_EXCEPTION(CatalogueError, rows.search(terms, QString()));
}

void tst_FoundRows::pathsOnPostgreSql()
{
    if (PgTestServer::binDir().isEmpty())
        QSKIP("no PostgreSQL installed");
    PgTestServer server;
    QVERIFY2(server.start() && server.createDatabase("found"), qPrintable(server.error()));
    Catalogue pg;
    pg.open(server.url("found"));
    fill(pg);
    FoundRows rows(pg.connectionName());
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SearchTerms terms;
    terms.kind = SearchTerms::Kind::Files;
    rows.search(terms, "h.example/pub");
    QVERIFY2(rows.open(), qPrintable(rows.errorText()));
    QCOMPARE(rows.headerData(rows.pathColumn(), Qt::Horizontal).toString(), QString("Path"));
    const QHash<QString, QString> paths = pathsByName(rows);
    QCOMPARE(paths.size(), 3);
    QCOMPARE(paths.value("disc"), QString("h.example/pub/ISO/disc.ISO"));
    QCOMPARE(paths.value(QString::fromLatin1("caf\xe9")), QString::fromLatin1("h.example/pub/caf\xe9.txt"));
}

QTEST_GUILESS_MAIN(tst_FoundRows)
#include "tst_foundrows.moc"
