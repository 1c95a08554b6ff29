#include "core/scan/LoopGuard.h"

#include <QtTest>

namespace {
ListingSignature listing(const QByteArrayList &names)
{
    QList<FileEntry> entries;
    for (const QByteArray &n : names) {
        FileEntry e;
        e.wireName = n;
        e.kind = FileEntry::Kind::Directory;
        entries << e;
    }
    return ListingSignature::of(entries);
}
} // namespace

class tst_LoopGuard : public QObject
{
    Q_OBJECT
private slots:
    void findsTheFolderAboveThatListsTheSame();
    void forgetsFoldersNothingWaitsBelow();
    void alikeFoldersAreToleratedAsAsked();
};

// Top (0) holds a (1); a holds self (2) and up (3): self lists as a, up as the top.
void tst_LoopGuard::findsTheFolderAboveThatListsTheSame()
{
    LoopGuard g;
    QCOMPARE(g.listed(0, listing({"a", "top.txt"})), 0);
    g.add(0, 1);
    g.settle(0);
    QCOMPARE(g.listed(1, listing({"self", "up", "b"})), 0);
    g.add(1, 2);
    g.add(1, 3);
    g.add(1, 4);
    g.settle(1);
    QCOMPARE(g.listed(2, listing({"self", "up", "b"})), 1);
    QCOMPARE(g.listed(3, listing({"a", "top.txt"})), 2);
    QCOMPARE(g.listed(4, listing({"c"})), 0);
}

void tst_LoopGuard::forgetsFoldersNothingWaitsBelow()
{
    LoopGuard g;
    g.listed(0, listing({"a"}));
    g.add(0, 1);
    g.settle(0);
    g.listed(1, listing({"b", "c"}));
    g.add(1, 2);
    g.add(1, 3);
    g.settle(1);
    QCOMPARE(g.size(), 4);
    g.listed(2, listing({}));
    g.settle(2);
    QCOMPARE(g.size(), 3);
    g.drop(3); // passed over
    QCOMPARE(g.size(), 0);
}

// dir0/dir0/dir0 of a generated tree lists as dir0 and the top do: with
// two tolerated, the third folder down that looks so is the loop.
void tst_LoopGuard::alikeFoldersAreToleratedAsAsked()
{
    LoopGuard g;
    const auto alike = listing({"dir0", "dir1"});
    QCOMPARE(g.listed(0, alike, 2), 0);
    g.add(0, 1);
    QCOMPARE(g.listed(1, alike, 2), 0);
    g.add(1, 2);
    QCOMPARE(g.listed(2, alike, 2), 0);
    g.add(2, 3);
    QCOMPARE(g.listed(3, alike, 2), 1);
    // A folder that differs on the way resets nothing above it, and is no loop.
    g.add(2, 4);
    QCOMPARE(g.listed(4, listing({"file.dat"}), 2), 0);
}

QTEST_GUILESS_MAIN(tst_LoopGuard)
#include "tst_loopguard.moc"
