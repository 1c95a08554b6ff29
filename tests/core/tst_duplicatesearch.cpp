#include "core/catalogue/Catalogue.h"
#include "core/catalogue/DuplicateSearch.h"
#include "PgTestServer.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(DuplicateSearch::Options)

// Copies across folders and hosts, on both stores: grouped by name and
// size or by size, largest first, each copy with its path.
class tst_DuplicateSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void groups_data();
    void groups();

private:
    static void fill(Catalogue &cat);
    PgTestServer m_server;
    QTemporaryDir m_dir;
    Catalogue m_sqlite, m_pg;
};

namespace {
constexpr quint64 Disc = 700ull << 20;

qint32 store(Catalogue &cat, const QString &host, qint32 folder, const QString &name, quint64 size, bool isFolder = false)
{
    FileEntry e;
    e.name = name;
    e.kind = isFolder ? FileEntry::Kind::Directory : FileEntry::Kind::File;
    e.size = size;
    return cat.StoreEntry(e, folder, host);
}
} // namespace

void tst_DuplicateSearch::fill(Catalogue &cat)
{
    const qint32 pub = store(cat, "a", 0, "pub", 4096, true);
    const qint32 mirror = store(cat, "b", 0, "mirror", 4096, true);
    const qint32 other = store(cat, "b", 0, "other", 4096, true);
    store(cat, "a", 0, "mirror", 4096, true); // folders are never copies
    store(cat, "a", pub, "disc.iso", Disc);
    store(cat, "b", mirror, "disc.iso", Disc);
    store(cat, "b", other, "disc.iso", Disc);
    store(cat, "a", pub, "other.iso", Disc);
    store(cat, "a", 0, "Disc.iso", Disc); // another name on a server that tells case
    store(cat, "a", pub, "small.txt", 10);
    store(cat, "b", other, "small.txt", 10);
    store(cat, "a", pub, "empty", 0);
    store(cat, "b", other, "empty", 0);
    store(cat, "b", other, "single.bin", 5000);
    cat.flush();
}

void tst_DuplicateSearch::initTestCase()
{
    m_sqlite.open(m_dir.filePath("DB"));
    fill(m_sqlite);
    if (PgTestServer::binDir().isEmpty())
        return;
    QVERIFY2(m_server.start() && m_server.createDatabase("dupes"), qPrintable(m_server.error()));
    m_pg.open(m_server.url("dupes"));
    fill(m_pg);
}

void tst_DuplicateSearch::groups_data()
{
    QTest::addColumn<DuplicateSearch::Options>("options");
    QTest::addColumn<QStringList>("groups"); // each group's paths, sorted, joined by " "
    DuplicateSearch::Options o;
    QTest::newRow("name and size") << o << QStringList{"a/pub/disc.iso b/mirror/disc.iso b/other/disc.iso",
                                                       "a/pub/small.txt b/other/small.txt"};
    o.key = DuplicateSearch::Key::Size;
    QTest::newRow("size alone") << o
                                << QStringList{"a/Disc.iso a/pub/disc.iso a/pub/other.iso b/mirror/disc.iso b/other/disc.iso",
                                               "a/pub/small.txt b/other/small.txt"};
    o.minSize = 1 << 10;
    QTest::newRow("at least 1K") << o
                                 << QStringList{"a/Disc.iso a/pub/disc.iso a/pub/other.iso b/mirror/disc.iso b/other/disc.iso"};
    o.host = "a";
    QTest::newRow("one host, size alone") << o << QStringList{"a/Disc.iso a/pub/disc.iso a/pub/other.iso"};
    o.key = DuplicateSearch::Key::NameAndSize;
    QTest::newRow("one host, name and size") << o << QStringList();
    o = DuplicateSearch::Options();
    o.minSize = 0;
    QTest::newRow("empty files when asked") << o << QStringList{"a/pub/disc.iso b/mirror/disc.iso b/other/disc.iso",
                                                                 "a/pub/small.txt b/other/small.txt", "a/pub/empty b/other/empty"};
}

void tst_DuplicateSearch::groups()
{
    QFETCH(DuplicateSearch::Options, options);
    QFETCH(QStringList, groups);
    for (Catalogue *cat : {&m_sqlite, &m_pg}) {
        if (!cat->isOpen())
            continue;
        QStringList found;
        const qint64 told = DuplicateSearch(cat->database()).find(options, [&](const QList<PathSearch::Hit> &copies) {
            QStringList paths;
            for (const PathSearch::Hit &hit : copies)
                paths << hit.path;
            paths.sort();
            found << paths.join(u' ');
            return true;
        });
        QCOMPARE(found, groups);
        QCOMPARE(told, qint64(groups.size()));
    }
}

QTEST_GUILESS_MAIN(tst_DuplicateSearch)
#include "tst_duplicatesearch.moc"
