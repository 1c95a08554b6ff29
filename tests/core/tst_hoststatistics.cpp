#include "core/catalogue/Catalogue.h"
#include "core/catalogue/HostStatistics.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// A known tree on host H, beside another host that must not count:
//   pub/            docs/a.pdf 1000, docs/b.pdf 3000, x.txt 500
//   readme.txt 100
//   empty/
class tst_HostStatistics : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void totalsOfTheHostOnly();
    void typesLargestFirstThenOther();
    void blocksRollUpFolderSizes();
    void largestFiles();
    void largestSiftedFromManyFiles();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, quint64 size = 0, const QString &host = "H");
    QTemporaryDir m_dir;
    Catalogue m_cat;
    std::unique_ptr<HostStatistics> m_stats;
    qint32 m_pub = 0, m_docs = 0, m_empty = 0;
};

qint32 tst_HostStatistics::store(const QString &name, quint32 attr, qint32 pid, quint64 size, const QString &host)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    e.size = size;
    return m_cat.StoreEntry(e, pid, host);
}

void tst_HostStatistics::initTestCase()
{
    m_cat.open(m_dir.path());
    m_pub = store("pub", 16, 0);
    m_docs = store("docs", 16, m_pub);
    store("a.pdf", 128, m_docs, 1000);
    store("b.pdf", 128, m_docs, 3000);
    store("x.txt", 128, m_pub, 500);
    store("readme.txt", 128, 0, 100);
    m_empty = store("empty", 16, 0);
    const qint32 lib = store("lib", 16, 0, 0, "Other");
    store("o.txt", 128, lib, 99999, "Other");
    m_stats = std::make_unique<HostStatistics>(m_cat, "H");
    m_stats->load();
}

void tst_HostStatistics::totalsOfTheHostOnly()
{
    QCOMPARE(m_stats->totals().entries, qint64(7));
    QCOMPARE(m_stats->totals().folders, qint64(3));
    QCOMPARE(m_stats->totals().bytes, 4600.0);
}

void tst_HostStatistics::typesLargestFirstThenOther()
{
    const auto all = m_stats->byType(15);
    QCOMPARE(all.size(), 2);
    QCOMPARE(all[0].ext, QString("pdf"));
    QCOMPARE(all[0].bytes, 4000.0);
    QCOMPARE(all[0].count, qint64(2));
    QCOMPARE(all[1].ext, QString("txt"));
    const auto top = m_stats->byType(1);
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[1].ext, QString("other"));
    QCOMPARE(top[1].bytes, 600.0);
    QCOMPARE(top[1].count, qint64(2));
}

void tst_HostStatistics::blocksRollUpFolderSizes()
{
    const auto top = m_stats->children(0);
    QCOMPARE(top.size(), 3);
    QCOMPARE(top[0].id, m_pub);
    QCOMPARE(top[0].bytes, 4500.0);
    QCOMPARE(top[0].entries, qint64(5)); // pub itself, docs, a, b, x
    QVERIFY(!top[1].isFolder());
    QCOMPARE(top[1].bytes, 100.0);
    QCOMPARE(top[2].id, m_empty);
    QCOMPARE(top[2].bytes, 0.0);
    const auto pub = m_stats->children(m_pub);
    QCOMPARE(pub.size(), 2);
    QCOMPARE(pub[0].name, QString("docs"));
    QCOMPARE(pub[0].bytes, 4000.0);
    QCOMPARE(pub[1].bytes, 500.0);
    QCOMPARE(m_stats->parentOf(m_docs), m_pub);
    QCOMPARE(m_stats->folderName(m_docs), QString("docs"));
    QVERIFY(m_stats->children(m_empty).isEmpty());
}

void tst_HostStatistics::largestFiles()
{
    const auto files = m_stats->largest(2);
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0].name, QString("b"));
    QCOMPARE(files[0].ext, QString("pdf"));
    QCOMPARE(files[0].bytes, 3000.0);
    QCOMPARE(files[0].pid, m_docs);
    QCOMPARE(files[1].bytes, 1000.0);
}

// More files than are kept, sizes in no order and many equal: the same
// sizes as the catalogue sorted gives, and no folder among them.
void tst_HostStatistics::largestSiftedFromManyFiles()
{
    const qint32 top = store("big", 16, 0, 0, "Many");
    for (int i = 0; i < 300; ++i)
        store(QString("f%1.bin").arg(i), 128, i % 2 ? top : 0, quint64((i * 37) % 50) * 100, "Many");
    store("huge", 16, top, 0, "Many");
    m_cat.flush();
    HostStatistics many(m_cat, "Many");
    many.load();
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("SELECT Size FROM DB WHERE Host = 'Many' AND (Attr & 16) = 0 ORDER BY Size DESC LIMIT 20"));
    QList<double> expected, got;
    while (q.next())
        expected << q.value(0).toDouble();
    for (const HostStatistics::LargeFile &f : many.largest())
        got << f.bytes;
    QCOMPARE(got, expected);
    QCOMPARE(many.largest(3).size(), 3);
    QCOMPARE(many.totals().entries, qint64(302));
}

QTEST_GUILESS_MAIN(tst_HostStatistics)
#include "tst_hoststatistics.moc"
