#include "core/scan/WorkList.h"

#include <QtTest>

class tst_WorkList : public QObject
{
    Q_OBJECT
private slots:
    void depthCountsSlashes();
    void deepestFoundIsListedFirst();
    void withdrawTakesTheFirstWaitingOnly();
    void drainGivesEachInOrderOnce();
};

namespace {
WorkList::Folder folder(const QByteArray &path, qint32 parentId = 0)
{
    return WorkList::Folder{path, parentId, false};
}

QByteArrayList paths(WorkList &work)
{
    QByteArrayList out;
    work.drain([&out](const WorkList::Folder &f) { out << f.path; });
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

void tst_WorkList::drainGivesEachInOrderOnce()
{
    WorkList work;
    work.add(folder("a"));
    work.add(folder("b"));
    work.add(folder("a/c"));
    QCOMPARE(paths(work), (QByteArrayList{"a", "b", "a/c"}));
    QVERIFY(work.isEmpty());
    QVERIFY(paths(work).isEmpty());
}

QTEST_GUILESS_MAIN(tst_WorkList)
#include "tst_worklist.moc"
