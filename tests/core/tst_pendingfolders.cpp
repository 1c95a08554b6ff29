#include "core/catalogue/Catalogue.h"
#include "core/catalogue/PendingFolders.h"
#include "core/catalogue/UnlistedRows.h"

#include <QTemporaryDir>
#include <QtTest>

// The folders a scan leaves to list and the rows it found gone: what an
// interrupted scan carries on from, so they must agree with the rows.
class tst_PendingFolders : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void foldersWaitPerHostInOrder();
    void aListingCutByACommitIsListedAgainAlone();
    void unlistedRowsComeBackByFolder();

private:
    qint32 folder(const QByteArray &name, qint32 parent);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

void tst_PendingFolders::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
    m_cat->beginWrite();
}

qint32 tst_PendingFolders::folder(const QByteArray &name, qint32 parent)
{
    FileEntry e;
    e.wireName = name;
    e.name = QString::fromUtf8(name);
    e.kind = FileEntry::Kind::Directory;
    m_cat->beginListing(parent, "h", false);
    return m_cat->StoreEntry(e, parent, "h");
}

void tst_PendingFolders::foldersWaitPerHostInOrder()
{
    PendingFolders h(m_cat->database(), "h");
    PendingFolders other(m_cat->database(), "other");
    const qint64 a = h.add("a", 1, true);
    const qint64 b = h.add("a/b", 2, false);
    const qint64 c = h.add("c", 3, false);
    other.add("a", 9, false);
    QCOMPARE(h.count(), 3);
    QCOMPARE(PendingFolders::waiting(m_cat->database(), "other"), 1);
    const QList<PendingFolders::Row> newest = h.newest(2, {c});
    QCOMPARE(newest.size(), 2);
    QCOMPARE(newest[0].path, QByteArray("a"));
    QVERIFY(newest[0].fresh);
    QCOMPARE(newest[1].seq, b);
    QCOMPARE(h.find("a", {}), a);
    QCOMPARE(h.find("a", {a}), 0);
    h.remove(a);
    QCOMPARE(h.count(), 2);
    // A second object for the host numbers after what is there.
    QVERIFY(PendingFolders(m_cat->database(), "h").nextSeq() > c);
    h.clear();
    QCOMPARE(h.count(), 0);
    QCOMPARE(other.count(), 1);
}

// A commit fell inside the listing of "top/a": it still waits, with
// subfolders that listing had found. Listed again it finds them again, so
// they go; folders waiting elsewhere stay.
void tst_PendingFolders::aListingCutByACommitIsListedAgainAlone()
{
    const qint32 top = folder("top", 0);
    const qint32 a = folder("a", top);
    const qint32 b = folder("b", top);
    const qint32 inA = folder("in-a", a);
    const qint32 inB = folder("in-b", b);
    PendingFolders pending(m_cat->database(), "h");
    pending.add("top/a", a, false);
    pending.add("top/a/in-a", inA, true);
    pending.add("top/b/in-b", inB, true);
    pending.dropInsideWaiting();
    QStringList left;
    for (const PendingFolders::Row &r : pending.newest(10, {}))
        left << QString::fromUtf8(r.path);
    QCOMPARE(left, (QStringList{"top/a", "top/b/in-b"}));
}

void tst_PendingFolders::unlistedRowsComeBackByFolder()
{
    UnlistedRows rows(m_cat->database(), "h");
    UnlistedRows(m_cat->database(), "other").add({99}, "x");
    rows.add({5, 3}, "pub");
    rows.add({7}, QByteArray()); // the top
    rows.add({4}, "pub");
    QStringList seen;
    rows.forEach([&seen](const QList<qint32> &ids, const QByteArray &folder) {
        QStringList n;
        for (qint32 id : ids)
            n << QString::number(id);
        seen << QString::fromUtf8(folder) + ":" + n.join(',');
    });
    QCOMPARE(seen, (QStringList{":7", "pub:3,4,5"}));
    rows.clear();
    seen.clear();
    rows.forEach([&seen](const QList<qint32> &, const QByteArray &f) { seen << QString::fromUtf8(f); });
    QVERIFY(seen.isEmpty());
}

QTEST_GUILESS_MAIN(tst_PendingFolders)
#include "tst_pendingfolders.moc"
