#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/WriterTurns.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>

// Turns to write among the scans of one process: in order, one at a time,
// the holder asked to pass when someone waits; catalogues that share them
// write one SQLite file from several threads without "database is locked".
class tst_WriterTurns : public QObject
{
    Q_OBJECT
private slots:
    void oneAtATimeInOrder();
    void holderIsAskedOnce();
    void catalogueThreadsWriteOneFile();
};

void tst_WriterTurns::oneAtATimeInOrder()
{
    WriterTurns turns;
    turns.take({});
    QVERIFY(!turns.othersWaiting());
    std::atomic_int inside{0};
    std::atomic_int most{0};
    QList<int> order;
    QMutex orderLock;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back(QThread::create([&, i] {
            turns.take({});
            most = qMax(most.load(), ++inside);
            {
                QMutexLocker lock(&orderLock);
                order << i;
            }
            QThread::msleep(5);
            --inside;
            turns.release();
        }));
        threads.back()->start();
        QTRY_VERIFY(turns.othersWaiting()); // queued behind the holder, in this order
        QThread::msleep(20);
    }
    turns.release();
    for (auto &t : threads)
        QVERIFY(t->wait(10000));
    QCOMPARE(most.load(), 1);
    QCOMPARE(order, (QList<int>{0, 1, 2, 3}));
    QVERIFY(!turns.othersWaiting());
}

void tst_WriterTurns::holderIsAskedOnce()
{
    WriterTurns turns;
    std::atomic_int asked{0};
    turns.take([&] { ++asked; });
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back(QThread::create([&] {
            turns.take({});
            turns.release();
        }));
        threads.back()->start();
    }
    QTRY_COMPARE(asked.load(), 1);
    QThread::msleep(50);
    QCOMPARE(asked.load(), 1);
    turns.release();
    for (auto &t : threads)
        QVERIFY(t->wait(10000));
}

// Each thread's catalogue holds its transaction across pauses, as a scan
// waiting on the network does; the others' requests make it commit there.
void tst_WriterTurns::catalogueThreadsWriteOneFile()
{
    QTemporaryDir dir;
    {
        Catalogue first;
        first.open(dir.path());
    }
    auto turns = std::make_shared<WriterTurns>();
    QStringList failures;
    QMutex failuresLock;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(QThread::create([&, t] {
            try {
                Catalogue cat;
                cat.open(dir.path());
                cat.shareWriterTurns(turns);
                for (int i = 0; i < 40; ++i) {
                    FileEntry e;
                    e.name = QStringLiteral("f%1").arg(i);
                    e.wireName = e.name.toUtf8();
                    e.size = i;
                    // Read in the transaction, wait as on the network (its
                    // events run), then write: what a scan does at each folder.
                    cat.beginWrite();
                    cat.recordCount();
                    QElapsedTimer pause;
                    pause.start();
                    while (pause.elapsed() < 5)
                        QCoreApplication::processEvents();
                    cat.StoreEntry(e, 0, QStringLiteral("host%1").arg(t));
                }
                cat.flush();
            } catch (const CatalogueError &e) {
                QMutexLocker lock(&failuresLock);
                failures << e.message();
            }
        }));
        threads.back()->start();
    }
    for (auto &t : threads)
        QVERIFY(t->wait(60000));
    QCOMPARE(failures, QStringList());
    Catalogue check;
    check.open(dir.path());
    QCOMPARE(check.recordCount(), 160);
}

QTEST_GUILESS_MAIN(tst_WriterTurns)
#include "tst_writerturns.moc"
