#include "core/catalogue/Catalogue.h"
#include "core/catalogue/PendingFolders.h"
#include "core/scan/WorkList.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_WorkList : public QObject
{
    Q_OBJECT
private slots:
    void depthCountsSlashes();
    void deepestFoundIsListedFirst();
    void withdrawTakesTheFirstWaitingOnly();
    void takeGivesTheNewestInOrderOnce();
    void aWideTreeWaitsInTheStore();
    void aResumedListTakesWhatTheStoreHolds();
    void withdrawReachesTheStore();
};

namespace {
WorkList::Folder folder(const QByteArray &path, qint32 parentId = 0)
{
    return WorkList::Folder{path, parentId, false};
}

QByteArrayList paths(WorkList &work)
{
    QByteArrayList out;
    work.take(1 << 30, [&out](const WorkList::Folder &f) { out << f.path; });
    return out;
}
} // namespace

// The top and the folders in it are level 1, each "/" one more: stored
// settings and command lines give limits in these levels.
void tst_WorkList::depthCountsSlashes()
{
    WorkList work;
    QCOMPARE(work.maxDepth(), WorkList::DefaultMaxDepth);
    work.setMaxDepth(2);
    QVERIFY(!work.tooDeep(""));
    QVERIFY(!work.tooDeep("pub"));
    QVERIFY(!work.tooDeep("pub/docs"));
    QVERIFY(work.tooDeep("pub/docs/old"));
    QVERIFY(!work.tooDeep("a b.c\\d")); // only "/" makes a level
    work.setMaxDepth(0);
    QVERIFY(work.tooDeep(""));
}

// Last in, first out: a scan goes deep before it goes wide.
void tst_WorkList::deepestFoundIsListedFirst()
{
    WorkList work;
    work.startAtTop();
    QCOMPARE(work.size(), 1);
    QCOMPARE(work.takeLast().path, QByteArray());
    work.add(folder("a", 1));
    work.add(folder("b", 2));
    QCOMPARE(work.last().path, QByteArray("b"));
    const WorkList::Folder b = work.takeLast();
    QCOMPARE(b.parentId, 2);
    work.add(folder("b/c", 3));
    QCOMPARE(work.takeLast().path, QByteArray("b/c"));
    QCOMPARE(work.takeLast().path, QByteArray("a"));
    QVERIFY(work.isEmpty());
}

// A server that lists a name twice has it waiting twice.
void tst_WorkList::withdrawTakesTheFirstWaitingOnly()
{
    WorkList work;
    work.add(folder("x", 1));
    work.add(folder("link", 2));
    work.add(folder("link", 3));
    QVERIFY(work.withdraw("link"));
    QVERIFY(!work.withdraw("absent"));
    QCOMPARE(work.size(), 2);
    QCOMPARE(work.takeLast().parentId, 3);
}

void tst_WorkList::takeGivesTheNewestInOrderOnce()
{
    WorkList work;
    work.add(folder("a"));
    work.add(folder("b"));
    work.add(folder("a/c"));
    QByteArrayList two;
    work.take(2, [&two](const WorkList::Folder &f) { two << f.path; });
    QCOMPARE(two, (QByteArrayList{"b", "a/c"}));
    QCOMPARE(paths(work), QByteArrayList{"a"});
    QVERIFY(work.isEmpty());
    QVERIFY(paths(work).isEmpty());
}

namespace {
struct Stored
{
    QTemporaryDir dir;
    Catalogue catalogue;
    std::optional<PendingFolders> pending;
    Stored()
    {
        catalogue.open(dir.path());
        catalogue.beginWrite();
        pending.emplace(catalogue.database(), QStringLiteral("host"));
    }
};

QByteArray numbered(int i)
{
    return "f" + QByteArray::number(i);
}
} // namespace

// Far more folders than the window: each is taken once, newest first within
// what memory holds, and the store is empty once each is done.
void tst_WorkList::aWideTreeWaitsInTheStore()
{
    Stored s;
    WorkList work;
    work.setStore(&*s.pending);
    int spilled = 0;
    work.setOnSpill([&spilled](const WorkList::Folder &) { ++spilled; });
    work.startAtTop();
    work.done(work.takeLast());
    const int n = int(WorkList::Window) * 3 + 7;
    for (int i = 0; i < n; ++i)
        work.add(folder(numbered(i), i + 1));
    QCOMPARE(work.size(), n);
    QVERIFY(spilled >= n - WorkList::Window && spilled < n);
    QCOMPARE(s.pending->count(), n);
    QSet<QByteArray> seen;
    while (!work.isEmpty()) {
        const WorkList::Folder f = work.takeLast();
        QVERIFY2(!seen.contains(f.path), f.path.constData());
        QCOMPARE(f.parentId, f.path.mid(1).toInt() + 1);
        seen.insert(f.path);
        work.done(f);
    }
    QCOMPARE(seen.size(), n);
    QCOMPARE(s.pending->count(), 0);
}

// A scan cut short left folders, some of them taken and never done: the
// next part takes each once, none of them fresh.
void tst_WorkList::aResumedListTakesWhatTheStoreHolds()
{
    Stored s;
    {
        WorkList first;
        first.setStore(&*s.pending);
        first.startAtTop();
        first.done(first.takeLast());
        for (int i = 0; i < 5; ++i)
            first.add(WorkList::Folder{numbered(i), i + 1, true});
        first.takeLast(); // listing when the scan was cut
    }
    PendingFolders again(s.catalogue.database(), QStringLiteral("host"));
    WorkList next;
    next.setStore(&again);
    QCOMPARE(next.resume(), 5);
    next.add(WorkList::Folder{"new", 9, true});
    QByteArrayList taken;
    while (!next.isEmpty()) {
        const WorkList::Folder f = next.takeLast();
        QCOMPARE(f.fresh, f.path == "new");
        taken << f.path;
        next.done(f);
    }
    std::sort(taken.begin(), taken.end());
    QCOMPARE(taken, (QByteArrayList{"f0", "f1", "f2", "f3", "f4", "new"}));
    QCOMPARE(again.count(), 0);
}

// A link found after its folder was queued withdraws it wherever it waits.
void tst_WorkList::withdrawReachesTheStore()
{
    Stored s;
    WorkList work;
    work.setStore(&*s.pending);
    work.add(folder("link", 1));
    for (int i = 0; i < int(WorkList::Window) + 1; ++i)
        work.add(folder(numbered(i), i + 2));
    const qsizetype before = work.size();
    QVERIFY(work.withdraw("link")); // spilled to the store by now
    QVERIFY(!work.withdraw("link"));
    QCOMPARE(work.size(), before - 1);
    QCOMPARE(s.pending->count(), before - 1);
}

QTEST_GUILESS_MAIN(tst_WorkList)
#include "tst_worklist.moc"
