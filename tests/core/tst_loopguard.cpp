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

QTEST_GUILESS_MAIN(tst_LoopGuard)
#include "tst_loopguard.moc"
