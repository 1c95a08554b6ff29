#include "core/catalogue/Catalogue.h"
#include "core/catalogue/FolderPaths.h"
#include "core/catalogue/PathSearch.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// Find for people: every row with its full path, as the rows are read.
class tst_PathSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pathsFromTheParentLinks();
    void brokenLinksAreMarked();
    void limitFiltersAndStop();
    void keptPathsSpareLookUps();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, const QByteArray &wire = {});
    QHash<QString, PathSearch::Hit> findAll(const QString &pattern);
    QTemporaryDir m_dir;
    Catalogue m_cat;
    QString m_long;
};

qint32 tst_PathSearch::store(const QString &name, quint32 attr, qint32 pid, const QByteArray &wire)
{
    FileEntry e;
    e.name = name;
    e.wireName = wire;
    e.kind = FileEntry::kindOf(attr);
    return m_cat.StoreEntry(e, pid, QStringLiteral("h.example"));
}

void tst_PathSearch::initTestCase()
{
    m_cat.open(m_dir.filePath("DB"));
    const qint32 pub = store("pub", 16, 0);
    const qint32 docs = store("docs", 16, pub);
    store("b.pdf", 128, docs);
    store("readme.txt", 128, 0);
    m_long = QString(90, u'n') + ".Iso"; // Name keeps 80 characters and a lower-case ext
    store(m_long, 128, docs);
    store(QString::fromLatin1("\xce\xf2\xf7\xe5\xf2.txt"), 128, pub, "\xce\xf2\xf7\xe5\xf2.txt"); // cp1251
    m_cat.flush();
    // Links broken through the SQL window: a parent gone, and two folders
    // inside each other.
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("INSERT INTO DB VALUES ('lost', 'txt', 1, 'h.example', 128, 0, 7001, 7000)"));
    QVERIFY(q.exec("INSERT INTO DB VALUES ('loopA', '<DIR>', 0, 'h.example', 16, 0, 7002, 7003)"));
    QVERIFY(q.exec("INSERT INTO DB VALUES ('loopB', '<DIR>', 0, 'h.example', 16, 0, 7003, 7002)"));
    QVERIFY(q.exec("INSERT INTO DB VALUES ('inloop', 'txt', 1, 'h.example', 128, 0, 7004, 7003)"));
}

QHash<QString, PathSearch::Hit> tst_PathSearch::findAll(const QString &pattern)
{
    PathSearch search(m_cat.database(), [](const QString &host) {
        return host == QLatin1String("h.example") ? QByteArray("cp1251") : QByteArray("latin1");
    });
    QHash<QString, PathSearch::Hit> hits;
    search.find(pattern, "ALL", {}, 0, [&](const PathSearch::Hit &hit) {
        hits.insert(hit.row.name, hit);
        return true;
    });
    return hits;
}

void tst_PathSearch::pathsFromTheParentLinks()
{
    const auto hits = findAll("%");
    QCOMPARE(hits.value("pub").path, QString("h.example/pub"));
    QCOMPARE(hits.value("docs").path, QString("h.example/pub/docs"));
    QCOMPARE(hits.value("b").path, QString("h.example/pub/docs/b.pdf"));
    QCOMPARE(hits.value("readme").path, QString("h.example/readme.txt"));
    // The names as listed, not as the table's columns cut them.
    QCOMPARE(hits.value(QString(80, u'n')).path, "h.example/pub/docs/" + m_long);
    const auto decoded = std::find_if(hits.cbegin(), hits.cend(), [](const PathSearch::Hit &h) {
        return h.row.ext == QLatin1String("txt") && h.row.pid != 0 && h.row.name != QLatin1String("lost")
            && h.row.name != QLatin1String("inloop");
    });
    QVERIFY(decoded != hits.cend());
    QCOMPARE(decoded->path, QString::fromUtf8("h.example/pub/Отчет.txt"));
    QVERIFY(decoded->pathKnown);
    QCOMPARE(hits.value("b").row.ext, QString("pdf"));
}

void tst_PathSearch::brokenLinksAreMarked()
{
    const auto hits = findAll("%");
    QCOMPARE(hits.value("lost").path, QString("h.example/?/lost.txt"));
    QVERIFY(!hits.value("lost").pathKnown);
    QCOMPARE(hits.value("inloop").path, QString("h.example/?/inloop.txt"));
    QVERIFY(!hits.value("loopA").pathKnown);
}

void tst_PathSearch::limitFiltersAndStop()
{
    PathSearch search(m_cat.database());
    const auto count = [&](const QString &pattern, const QString &type, const QString &host, qint64 limit) {
        return search.find(pattern, type, host, limit, [](const PathSearch::Hit &) { return true; });
    };
    QCOMPARE(count("%", "ALL", {}, 0), 10);
    QCOMPARE(count("%", "ALL", {}, 3), 3);
    QCOMPARE(count("%", "pdf", "h.example", 0), 1);
    QCOMPARE(count("%", "ALL", "other.example", 0), 0);
    QCOMPARE(count("%EAD%", "ALL", {}, 0), 1); // indexed: three letters
    QCOMPARE(count("README", "ALL", {}, 0), 1); // case folded, as the command line's find asks
    QCOMPARE(count("%NNN%", "iso", {}, 0), 1);  // a long name keeps its type
    int told = 0;
    QCOMPARE(search.find("%", "ALL", {}, 0, [&](const PathSearch::Hit &) { return ++told < 2; }), 2);
}

// A path found is kept: the next row in the same folder costs no lookup.
// A cache too small to hold anything gives the same paths.
void tst_PathSearch::keptPathsSpareLookUps()
{
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("SELECT ID FROM DB WHERE Name = 'docs'") && q.next());
    const qint32 docs = q.value(0).toInt();
    FolderPaths kept(m_cat.database());
    QCOMPARE(kept.path(docs), std::optional<QString>("h.example/pub/docs"));
    QCOMPARE(kept.lookUps(), 2);
    QCOMPARE(kept.path(docs), std::optional<QString>("h.example/pub/docs"));
    QCOMPARE(kept.lookUps(), 2);
    FolderPaths tiny(m_cat.database(), {}, 1);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(tiny.path(docs), std::optional<QString>("h.example/pub/docs"));
    QCOMPARE(tiny.path(7000), std::nullopt);
    QCOMPARE(tiny.path(7003), std::nullopt);
}

QTEST_GUILESS_MAIN(tst_PathSearch)
#include "tst_pathsearch.moc"
