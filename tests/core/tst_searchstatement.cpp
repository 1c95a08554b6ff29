#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/LacTime.h"
#include "core/catalogue/NameFold.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/SearchStatement.h"
#include "FoldedLike.h"
#include "PgTestServer.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

Q_DECLARE_METATYPE(SearchTerms)

// Every term of a find, alone and together, on both stores, against a
// plain reading of what was stored.
class tst_SearchStatement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void termsFindWhatAPlainScanFinds_data();
    void termsFindWhatAPlainScanFinds();
    void badTermsAreRefused_data();
    void badTermsAreRefused();

private:
    struct Row
    {
        qint32 id;
        QString host, name, ext, path;
        bool folder;
        qint64 size;
        QDateTime time; // invalid: none listed
    };
    void fill(Catalogue &cat);
    void storeFolder(Catalogue &cat, const QString &host, qint32 parent, const QString &path, int depth);
    QString randomName();
    std::set<qint32> plain(const SearchTerms &t, const QString &under) const;

    PgTestServer m_server;
    QTemporaryDir m_dir;
    Catalogue m_sqlite, m_pg;
    QList<Row> m_rows;
    QRandomGenerator m_random{20261211};
};

namespace {
const QDateTime Epoch(QDate(2015, 1, 1), QTime(0, 0), Qt::UTC);
const QStringList Types{"iso", "img", "txt", "tar", ""};
} // namespace

QString tst_SearchStatement::randomName()
{
    static const QStringList pieces{"linux", "Debian", "ДОКУМЕНТ", "отчёт", "Straße", "disc", "IMG", "v2", "final", "Σοφία"};
    QString name;
    for (int i = 1 + m_random.bounded(3); i > 0; --i)
        name += pieces[m_random.bounded(pieces.size())] + (m_random.bounded(2) ? "_" : "-");
    return name + QString::number(m_random.bounded(100));
}

void tst_SearchStatement::storeFolder(Catalogue &cat, const QString &host, qint32 parent, const QString &path, int depth)
{
    for (int i = 0; i < 8; ++i) {
        FileEntry e;
        const bool folder = depth < 3 && i < 2;
        const QString type = folder ? QString() : Types[m_random.bounded(Types.size())];
        e.name = randomName() + (type.isEmpty() ? QString() : u'.' + type);
        e.kind = folder ? FileEntry::Kind::Directory : FileEntry::Kind::File;
        e.size = folder ? 4096 : quint64(m_random.bounded(Q_INT64_C(10) << 30));
        const QDateTime time = m_random.bounded(6) ? Epoch.addSecs(m_random.bounded(12 * 365 * 86400)) : QDateTime();
        e.time = time.isValid() ? LacTime::fileTime(LacTime::fromDateTime(time)) : 0;
        const qint32 id = cat.StoreEntry(e, parent, host);
        if (&cat == &m_sqlite && cat.lastWasNew()) {
            const QString dot = e.name.section(u'.', -1);
            const bool typed = !type.isEmpty();
            m_rows.append(Row{id, host, typed ? e.name.chopped(dot.size() + 1) : e.name, folder ? "<DIR>" : type,
                              path + u'/' + e.name, folder, qint64(e.size), time});
        }
        if (folder && cat.lastWasNew())
            storeFolder(cat, host, id, path + u'/' + e.name, depth + 1);
    }
}

void tst_SearchStatement::fill(Catalogue &cat)
{
    m_random.seed(20261211);
    for (const QString host : {"ftp.one.example", "mirror.two.example"})
        storeFolder(cat, host, 0, host, 0);
    cat.flush();
}

void tst_SearchStatement::initTestCase()
{
    m_sqlite.open(m_dir.filePath("DB"));
    fill(m_sqlite);
    QVERIFY(m_rows.size() > 100);
    if (PgTestServer::binDir().isEmpty())
        return;
    QVERIFY2(m_server.start() && m_server.createDatabase("search"), qPrintable(m_server.error()));
    m_pg.open(m_server.url("search"));
    fill(m_pg);
}

std::set<qint32> tst_SearchStatement::plain(const SearchTerms &t, const QString &under) const
{
    const QRegularExpression re(t.pattern, QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::UseUnicodePropertiesOption);
    const QList<uint> folded = NameFold::fold(t.pattern).toUcs4();
    std::set<qint32> ids;
    for (const Row &r : m_rows) {
        const bool name = t.regex ? re.match(r.name).hasMatch()
                                  : FoldedLike::matchesFolded(NameFold::fold(r.name).toUcs4(), folded);
        const bool type = t.types.isEmpty() || t.types.contains(r.ext);
        const bool kind = t.kind == SearchTerms::Kind::Any || r.folder == (t.kind == SearchTerms::Kind::Folders);
        const bool size = (!t.minSize || r.size >= *t.minSize) && (!t.maxSize || r.size <= *t.maxSize);
        const bool time = (!t.newer.isValid() || (r.time.isValid() && r.time > t.newer))
            && (!t.older.isValid() || (r.time.isValid() && r.time < t.older));
        const bool host = t.host.isEmpty() || r.host == t.host || (t.host == "%two%" && r.host.contains("two"));
        const bool below = under.isEmpty() || r.path.startsWith(under + u'/');
        if (name && type && kind && size && time && host && below)
            ids.insert(r.id);
    }
    return ids;
}

void tst_SearchStatement::termsFindWhatAPlainScanFinds_data()
{
    QTest::addColumn<SearchTerms>("terms");
    QTest::addColumn<bool>("underFolder");
    const auto terms = [](auto change) {
        SearchTerms t;
        change(t);
        return t;
    };
    const QDateTime mid(QDate(2020, 6, 1), QTime(0, 0), Qt::UTC);
    QTest::newRow("everything") << SearchTerms() << false;
    QTest::newRow("pattern, case-free") << terms([](SearchTerms &t) { t.pattern = "%документ%"; }) << false;
    QTest::newRow("regex") << terms([](SearchTerms &t) { t.pattern = "^(linux|debian)[-_]\\d"; t.regex = true; }) << false;
    QTest::newRow("regex, other script") << terms([](SearchTerms &t) { t.pattern = "СОФ|strasse|straße"; t.regex = true; }) << false;
    QTest::newRow("types") << terms([](SearchTerms &t) { t.types = {"iso", "img"}; }) << false;
    QTest::newRow("files without a type") << terms([](SearchTerms &t) { t.types = {""}; t.kind = SearchTerms::Kind::Files; }) << false;
    QTest::newRow("folders") << terms([](SearchTerms &t) { t.kind = SearchTerms::Kind::Folders; }) << false;
    QTest::newRow("size bounds") << terms([](SearchTerms &t) { t.minSize = 700 << 20; t.maxSize = Q_INT64_C(5) << 30; }) << false;
    QTest::newRow("newer") << terms([&](SearchTerms &t) { t.newer = mid; }) << false;
    QTest::newRow("older") << terms([&](SearchTerms &t) { t.older = mid; }) << false;
    QTest::newRow("host") << terms([](SearchTerms &t) { t.host = "ftp.one.example"; }) << false;
    QTest::newRow("host pattern") << terms([](SearchTerms &t) { t.host = "%two%"; }) << false;
    QTest::newRow("under") << SearchTerms() << true;
    QTest::newRow("everything together") << terms([&](SearchTerms &t) {
        t.pattern = "%i%";
        t.types = {"iso", "img", "tar"};
        t.minSize = 1 << 20;
        t.maxSize = Q_INT64_C(8) << 30;
        t.newer = mid.addYears(-4);
        t.older = mid.addYears(4);
        t.host = "%two%";
        t.kind = SearchTerms::Kind::Files;
    }) << true;
}

void tst_SearchStatement::termsFindWhatAPlainScanFinds()
{
    QFETCH(SearchTerms, terms);
    QFETCH(bool, underFolder);
    // The first folder of the second host that holds a folder.
    QString under;
    if (underFolder)
        for (const Row &r : std::as_const(m_rows))
            if (r.folder && r.host == "mirror.two.example" && r.path.count(u'/') == 2) {
                under = r.path;
                break;
            }
    const std::set<qint32> expected = plain(terms, under);
    QVERIFY(!expected.empty());
    for (Catalogue *cat : {&m_sqlite, &m_pg}) {
        if (!cat->isOpen())
            continue;
        PathSearch search(cat->database());
        std::set<qint32> found;
        try {
            search.find(terms, under, 0, [&](const PathSearch::Hit &hit) {
                found.insert(hit.row.id);
                return true;
            });
        } catch (const CatalogueError &e) {
            QFAIL(qPrintable(e.message()));
        }
        if (cat == &m_pg) { // the same rows, under the IDs this store gave them
            QCOMPARE(found.size(), expected.size());
            QCOMPARE(search.count(terms, under), qint64(found.size()));
            continue;
        }
        QVERIFY(found == expected);
        QCOMPARE(search.count(terms, under), qint64(expected.size()));
    }
}

void tst_SearchStatement::badTermsAreRefused_data()
{
    QTest::addColumn<SearchTerms>("terms");
    SearchTerms t;
    t.regex = true;
    t.pattern = "(unclosed";
    QTest::newRow("regex that does not compile") << t;
    t.pattern = QString(SearchTerms::MostRegexChars + 1, u'a');
    QTest::newRow("regex too long") << t;
    t = SearchTerms();
    t.minSize = 10;
    t.maxSize = 5;
    QTest::newRow("sizes the wrong way round") << t;
    t = SearchTerms();
    t.newer = Epoch;
    t.older = Epoch;
    QTest::newRow("times that leave nothing") << t;
}

void tst_SearchStatement::badTermsAreRefused()
{
    QFETCH(SearchTerms, terms);
    QVERIFY(!SearchStatement::problem(terms).isEmpty());
    PathSearch search(m_sqlite.database());
    QVERIFY_THROWS_EXCEPTION(CatalogueError, search.count(terms, QString()));
}

QTEST_GUILESS_MAIN(tst_SearchStatement)
#include "tst_searchstatement.moc"
