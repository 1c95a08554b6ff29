#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/CatalogueQueries.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The catalogue's questions, asked once for both front ends.
class tst_CatalogueQueries : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void folderTreeDepthFirstInStoredOrder();
    void hostMatchIsAParameter();
    void subfoldersOfEachParentInTurn();
    void lineageFromTheTopLevel();
    void findByPatternTypeAndHost_data();
    void findByPatternTypeAndHost();
    void countRowsIsTheStatementsOwn_data();
    void countRowsIsTheStatementsOwn();
    void writingStatementsAreTold();
    void commandLineTreeIsTheSame();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, const QString &host);
    QStringList treeOf(const QString &host, CatalogueQueries::HostMatch match);
    qint32 idOf(const QString &name);
    QTemporaryDir m_dir;
    Catalogue m_cat;
};

qint32 tst_CatalogueQueries::store(const QString &name, quint32 attr, qint32 pid, const QString &host)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    return m_cat.StoreEntry(e, pid, host);
}

void tst_CatalogueQueries::initTestCase()
{
    m_cat.open(m_dir.filePath("DB"));
    const qint32 pub = store("pub", 16, 0, "H");
    store("readme.txt", 128, 0, "H");
    const qint32 src = store("src", 16, 0, "H");
    const qint32 docs = store("docs", 16, pub, "H");
    store("deep", 16, docs, "H");
    store("lib", 16, src, "H");
    store("a.c", 128, src, "H");
    store("other", 16, 0, "H2");
    store("wild", 16, 0, "Hx");
    m_cat.flush();
}

QStringList tst_CatalogueQueries::treeOf(const QString &host, CatalogueQueries::HostMatch match)
{
    QStringList out;
    for (const CatalogueQueries::Folder &f : CatalogueQueries(m_cat.database()).folderTree(host, match))
        out << QString(f.depth, u'.') + f.name;
    return out;
}

void tst_CatalogueQueries::folderTreeDepthFirstInStoredOrder()
{
    QCOMPARE(treeOf("H", CatalogueQueries::HostMatch::Exact), (QStringList{"pub", ".docs", "..deep", "src", ".lib"}));
}

void tst_CatalogueQueries::hostMatchIsAParameter()
{
    QCOMPARE(treeOf("H_", CatalogueQueries::HostMatch::Exact), QStringList{});
    QCOMPARE(treeOf("H_", CatalogueQueries::HostMatch::Like), (QStringList{"other", "wild"}));
}

qint32 tst_CatalogueQueries::idOf(const QString &name)
{
    QSqlQuery q(m_cat.database());
    q.prepare("SELECT ID FROM DB WHERE Name = ?");
    q.addBindValue(name);
    return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

void tst_CatalogueQueries::subfoldersOfEachParentInTurn()
{
    const CatalogueQueries queries(m_cat.database());
    const auto names = [&](const QString &host, CatalogueQueries::HostMatch match, const QList<qint32> &parents) {
        QStringList out;
        for (const CatalogueQueries::Folder &f : queries.subfolders(host, match, parents))
            out << f.name;
        return out;
    };
    using M = CatalogueQueries::HostMatch;
    QCOMPARE(names("H", M::Exact, {0}), (QStringList{"pub", "src"}));
    QCOMPARE(names("H", M::Exact, {idOf("src"), idOf("pub")}), (QStringList{"lib", "docs"}));
    QCOMPARE(names("H", M::Exact, {idOf("deep"), idOf("readme")}), QStringList{});
    QCOMPARE(names("H_", M::Like, {0}), (QStringList{"other", "wild"}));
    QCOMPARE(names("H2", M::Exact, {idOf("pub")}), QStringList{});
}

void tst_CatalogueQueries::lineageFromTheTopLevel()
{
    const CatalogueQueries queries(m_cat.database());
    using M = CatalogueQueries::HostMatch;
    QCOMPARE(queries.folderLineage("H", M::Exact, idOf("deep")), (QList<qint32>{idOf("pub"), idOf("docs"), idOf("deep")}));
    QCOMPARE(queries.folderLineage("H", M::Exact, idOf("src")), QList<qint32>{idOf("src")});
    QCOMPARE(queries.folderLineage("H", M::Exact, idOf("readme")), QList<qint32>{}); // a file
    QCOMPARE(queries.folderLineage("H2", M::Exact, idOf("deep")), QList<qint32>{});
    QCOMPARE(queries.folderLineage("H", M::Exact, 0), QList<qint32>{});
}

void tst_CatalogueQueries::findByPatternTypeAndHost_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("rows");
    QTest::newRow("everything") << "%" << "ALL" << "" << 9;
    QTest::newRow("folders of one host") << "%" << "<DIR>" << "H" << 5;
    QTest::newRow("no extension") << "%" << "" << "" << 0;
    QTest::newRow("pattern and type") << "%e%" << "txt" << "H" << 1;
}

void tst_CatalogueQueries::findByPatternTypeAndHost()
{
    QFETCH(QString, pattern);
    QFETCH(QString, type);
    QFETCH(QString, host);
    QFETCH(int, rows);
    const CatalogueQueries queries(m_cat.database());
    QCOMPARE(queries.countRows(CatalogueQueries::find(pattern, type, host)), qint64(rows));
}

void tst_CatalogueQueries::countRowsIsTheStatementsOwn_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("rows");
    QTest::newRow("count with a trailing semicolon") << "SELECT COUNT(*) FROM DB;" << 1;
    QTest::newRow("trailing comment") << "SELECT * FROM DB -- every row" << 9;
    QTest::newRow("comment after the semicolon") << "SELECT * FROM DB; -- every row" << 9;
    QTest::newRow("block comment and semicolons") << "SELECT * FROM DB /* all */ ;;" << 9;
    QTest::newRow("its own limit and offset") << "SELECT * FROM DB ORDER BY Name LIMIT 5 OFFSET 6" << 3;
    QTest::newRow("with clause") << "WITH f AS (SELECT * FROM DB WHERE Attr = 16) SELECT Name FROM f" << 7;
    QTest::newRow("compound") << "SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 2" << 3;
    QTest::newRow("pragma, not a subquery: stepped") << "PRAGMA table_info(DB)" << 8;
    QTest::newRow("host summary") << CatalogueQueries::hostSummary().sql << 3;
    QTest::newRow("a write is never run to count it") << "DELETE FROM DB" << 0;
}

void tst_CatalogueQueries::countRowsIsTheStatementsOwn()
{
    QFETCH(QString, sql);
    QFETCH(int, rows);
    QCOMPARE(CatalogueQueries(m_cat.database()).countRows({sql, {}}), qint64(rows));
    QCOMPARE(m_cat.recordCount(), 9);
}

void tst_CatalogueQueries::writingStatementsAreTold()
{
    const CatalogueQueries queries(m_cat.database());
    QVERIFY(queries.isReadOnly("SELECT * FROM DB;"));
    QVERIFY(!queries.isReadOnly("DELETE FROM DB"));
    QVERIFY(!queries.isReadOnly("CREATE UNIQUE INDEX u ON DB(Name)"));
    QVERIFY_THROWS_EXCEPTION(CatalogueError, queries.isReadOnly("SELEKT"));
}

// harvex-cli's tree is the folder tree the core gives.
void tst_CatalogueQueries::commandLineTreeIsTheSame()
{
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), {"tree", "H", "--data", m_dir.path()});
    QVERIFY(p.waitForFinished(10000));
    QStringList cli;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).mid(1)) {
        const QString name = line.section('\t', 2);
        const int depth = line.section('\t', 0, 0).toInt();
        cli << QString(depth, u'.') + name.trimmed();
    }
    QCOMPARE(cli, treeOf("H", CatalogueQueries::HostMatch::Exact));
}

QTEST_GUILESS_MAIN(tst_CatalogueQueries)
#include "tst_cataloguequeries.moc"
