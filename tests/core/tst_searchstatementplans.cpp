#include "core/catalogue/Catalogue.h"
#include "core/catalogue/NameSearch.h"
#include "core/catalogue/SearchStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(SearchTerms)

// The filters of a find besides its name pattern reach their rows through
// an index where they narrow the search, as SQLite plans the statement: on
// ten million rows a reading of the whole table is seconds, an index's range
// milliseconds.
class tst_SearchStatementPlans : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void filtersUseTheirIndex_data();
    void filtersUseTheirIndex();

private:
    QString plan(const SearchTerms &terms, qint32 under = 0);
    QTemporaryDir m_dir;
    Catalogue m_cat;
    qint32 m_folder = 0;
};

void tst_SearchStatementPlans::initTestCase()
{
    m_cat.open(m_dir.filePath("DB"));
    FileEntry e;
    e.name = "pub";
    e.kind = FileEntry::Kind::Directory;
    m_folder = m_cat.StoreEntry(e, 0, "h.example");
    e.kind = FileEntry::Kind::File;
    for (int i = 0; i < 200; ++i) {
        e.name = QStringLiteral("file%1.iso").arg(i);
        e.size = quint64(i) << 20;
        e.time = 132223104000000000ull + quint64(i) * 864000000000ull;
        m_cat.StoreEntry(e, m_folder, i % 2 ? "h.example" : "g.example");
    }
    m_cat.flush();
}

// The plan's lines, one a line, as EXPLAIN QUERY PLAN gives them.
QString tst_SearchStatementPlans::plan(const SearchTerms &terms, qint32 under)
{
    const CatalogueQueries::Statement st = SearchStatement::build(terms, NameSearch(m_cat.database()), under);
    QSqlQuery q(m_cat.database());
    if (!q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + st.sql))
        return q.lastError().text();
    for (const QVariant &v : st.params)
        q.addBindValue(v);
    if (!q.exec())
        return q.lastError().text();
    QStringList lines;
    while (q.next())
        lines << q.value(3).toString();
    return lines.join(u'\n');
}

void tst_SearchStatementPlans::filtersUseTheirIndex_data()
{
    QTest::addColumn<SearchTerms>("terms");
    QTest::addColumn<bool>("under");
    QTest::addColumn<QString>("index");
    const QDateTime from(QDate(2020, 2, 1), QTime(0, 0), Qt::UTC);
    SearchTerms hostAndDates;
    hostAndDates.host = "h.example";
    hostAndDates.newer = from;
    hostAndDates.older = from.addDays(30);
    QTest::newRow("host and dates") << hostAndDates << false << "USING INDEX DB_LAC (Host=? AND LAC>? AND LAC<?)";
    SearchTerms hostAndNewer = hostAndDates;
    hostAndNewer.older = QDateTime();
    QTest::newRow("host and a newer bound") << hostAndNewer << false << "USING INDEX DB_LAC (Host=? AND LAC>?)";
    SearchTerms sizes;
    sizes.minSize = 700ll << 20;
    sizes.maxSize = 5ll << 30;
    QTest::newRow("size bounds") << sizes << false << "USING INDEX DB_Size (Size>? AND Size<?)";
    SearchTerms least;
    least.minSize = 700ll << 20;
    QTest::newRow("smallest size") << least << false << "USING INDEX DB_Size (Size>?)";
    SearchTerms sizeAndType = sizes;
    sizeAndType.types = QStringList{"iso", "img"};
    sizeAndType.kind = SearchTerms::Kind::Files;
    QTest::newRow("size, types and files") << sizeAndType << false << "USING INDEX DB_Size (Size>? AND Size<?)";
    SearchTerms host;
    host.host = "h.example";
    QTest::newRow("host") << host << false << "(Host=?)";
    // With a pattern the trigram index gives the rows, or the range of
    // another index takes them and the index's rows check them.
    SearchTerms patternSizeType = sizeAndType;
    patternSizeType.pattern = "%file1%";
    QTest::newRow("pattern, size and types") << patternSizeType << false << "DB_FoldedNames VIRTUAL TABLE";
    SearchTerms patternHostDates = hostAndDates;
    patternHostDates.pattern = "%file1%";
    QTest::newRow("pattern, host and dates") << patternHostDates << false << "DB_FoldedNames VIRTUAL TABLE";
    SearchTerms pattern;
    pattern.pattern = "%file1%";
    QTest::newRow("pattern under a folder") << pattern << true << "SEARCH f USING INDEX DB_Folder (PID=?)";
    QTest::newRow("under a folder") << SearchTerms() << true << "USING INDEX DB_Folder (PID=?)";
}

void tst_SearchStatementPlans::filtersUseTheirIndex()
{
    QFETCH(SearchTerms, terms);
    QFETCH(bool, under);
    QFETCH(QString, index);
    const QString lines = plan(terms, under ? m_folder : 0);
    QVERIFY2(lines.contains(index), qPrintable(lines));
    // No line reads the whole table.
    QVERIFY2(!QRegularExpression(QStringLiteral("^SCAN (DB|d)$"), QRegularExpression::MultilineOption).match(lines).hasMatch(),
             qPrintable(lines));
}

QTEST_GUILESS_MAIN(tst_SearchStatementPlans)
#include "tst_searchstatementplans.moc"
