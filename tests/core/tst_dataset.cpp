#include "core/catalogue/Catalogue.h"
#include "core/catalogue/DataSet.h"
#include "core/catalogue/SqlDialect.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

// Host H: folder 1 holding Rows files "f0000".."f0999", sizes a shuffle of
// 0..999 thousand bytes. Enough rows for several pages.
class tst_DataSet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyRowOnceInItsOrder_data();
    void everyRowOnceInItsOrder();
    void noReadTransactionBetweenFetches();
    void refreshReadsTheRowsAgainInTheirOrder();
    void statementsThatWriteRunOnce_data();
    void statementsThatWriteRunOnce();
    void rejectedStatement();
    void passesTheModelTester();

private:
    void insertFiles(QSqlDatabase db, int from, int count);
    QTemporaryDir m_dir;
    Catalogue m_cat;
};

static constexpr int Rows = 1000;

void tst_DataSet::insertFiles(QSqlDatabase db, int from, int count)
{
    QSqlQuery q(db);
    QVERIFY(q.exec("BEGIN"));
    QVERIFY(q.prepare("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES (?, 'bin', ?, 'H', 128, ?, ?, 1)"));
    for (int i = from; i < from + count; ++i) {
        q.addBindValue(QString("f%1").arg(i, 4, 10, QChar('0')));
        q.addBindValue(qint64((i * 7919) % Rows) * 1000);
        q.addBindValue(double(i));
        q.addBindValue(100 + i);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    QVERIFY(q.exec("COMMIT"));
}

void tst_DataSet::initTestCase()
{
    m_cat.open(m_dir.path());
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES ('pub', '<DIR>', 0, 'H', 16, 0, 1, 0)"));
    insertFiles(m_cat.database(), 0, Rows);
}

void tst_DataSet::cleanupTestCase()
{
    m_cat.close();
}

void tst_DataSet::everyRowOnceInItsOrder_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    const int asc = Qt::AscendingOrder, desc = Qt::DescendingOrder;
    QTest::newRow("stored order") << "SELECT * FROM DB WHERE PID = 1" << -1 << asc << Rows << "f0000" << "f0999";
    QTest::newRow("by name, down") << "SELECT * FROM DB WHERE PID = 1" << 0 << desc << Rows << "f0999" << "f0000";
    QTest::newRow("by time") << "SELECT * FROM DB WHERE PID = 1" << 5 << asc << Rows << "f0000" << "f0999";
    QTest::newRow("by size") << "SELECT Name, Size FROM DB WHERE PID = 1" << 1 << asc << Rows << "f0000" << "f0321";
    QTest::newRow("own order and a semicolon") << "SELECT Name FROM DB WHERE PID = 1 ORDER BY Name DESC;" << -1 << asc
                                               << Rows << "f0999" << "f0000";
    QTest::newRow("closing comment") << "SELECT Name FROM DB WHERE PID = 1 -- all\n" << 0 << asc << Rows << "f0000"
                                     << "f0999";
    QTest::newRow("one page") << "SELECT Name FROM DB WHERE Attr = 16" << -1 << asc << 1 << "pub" << "pub";
    QTest::newRow("no rows") << "SELECT Name FROM DB WHERE Name = 'none'" << -1 << asc << 0 << "" << "";
}

// Read to the end a row at a time, as a view scrolling down asks.
void tst_DataSet::everyRowOnceInItsOrder()
{
    QFETCH(QString, sql);
    QFETCH(int, sortColumn);
    QFETCH(int, order);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    DataSet ds(m_cat.connectionName());
    ds.setSql(sql);
    QVERIFY2(ds.open(), qPrintable(ds.errorText()));
    if (sortColumn >= 0)
        ds.sort(sortColumn, Qt::SortOrder(order));
    QCOMPARE(ds.recordCount(), qint64(count));
    QCOMPARE(ds.rowCount(), count);
    QVERIFY(!ds.canFetchMore(QModelIndex()));
    QSet<QString> seen;
    QVariant previous;
    for (int r = 0; r < count; ++r) {
        const QString name = ds.record(r).value("Name").toString();
        QVERIFY2(!name.isEmpty() && !seen.contains(name), qPrintable(QString("row %1: %2").arg(r).arg(name)));
        seen << name;
        if (sortColumn >= 0) {
            const QVariant key = ds.index(r, sortColumn).data();
            const QPartialOrdering c = QVariant::compare(previous, key);
            if (previous.isValid())
                QVERIFY(order == Qt::AscendingOrder ? c != QPartialOrdering::Greater : c != QPartialOrdering::Less);
            previous = key;
        }
    }
    QCOMPARE(ds.record(0).value("Name").toString(), first);
    QCOMPARE(ds.record(count - 1).value("Name").toString(), last);
    QVERIFY(ds.record(count).value("Name").isNull());
}

// The grid in the middle of its rows, as a window left open shows them:
// another connection writes and checkpoints the whole log away.
void tst_DataSet::noReadTransactionBetweenFetches()
{
    DataSet ds(m_cat.connectionName());
    ds.setSql("SELECT * FROM DB WHERE PID = 1");
    QVERIFY(ds.open());
    QCOMPARE(ds.index(600, 0).data().toString(), QString("f0600"));
    sqlite3 *mine = SqlDialect::sqliteHandle(m_cat.database());
    QVERIFY(mine);
    QCOMPARE(sqlite3_txn_state(mine, nullptr), SQLITE_TXN_NONE);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(Catalogue::fileIn(m_dir.path()));
        QVERIFY(other.open());
        insertFiles(other, Rows, 10);
        QSqlQuery q(other);
        QVERIFY(q.exec("PRAGMA wal_checkpoint(TRUNCATE)") && q.next());
        QCOMPARE(q.value(0).toInt(), 0); // not busy: no reader held the log
        QCOMPARE(q.value(1).toInt(), 0); // and it is empty again
        q.finish();
        QVERIFY(q.exec("DELETE FROM DB WHERE ID >= 1100"));
    }
    QSqlDatabase::removeDatabase("other");
    QCOMPARE(ds.index(999, 0).data().toString(), QString("f0999"));
    QCOMPARE(sqlite3_txn_state(mine, nullptr), SQLITE_TXN_NONE);
}

void tst_DataSet::refreshReadsTheRowsAgainInTheirOrder()
{
    DataSet ds(m_cat.connectionName());
    ds.setSql("SELECT Name, Size FROM DB WHERE PID = 1");
    QVERIFY(ds.open());
    ds.sort(0, Qt::DescendingOrder);
    QAbstractItemModelTester tester(&ds, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(ds.index(300, 0).data().toString(), QString("f0699"));
    insertFiles(m_cat.database(), Rows, 5);
    auto removeAdded = qScopeGuard([this] { QSqlQuery(m_cat.database()).exec("DELETE FROM DB WHERE ID >= 1100"); });
    QSignalSpy reset(&ds, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&ds, &QAbstractItemModel::dataChanged);
    QVERIFY(ds.refresh());
    QCOMPARE(reset.size(), 1);
    QCOMPARE(ds.rowCount(), Rows + 5);
    QCOMPARE(ds.sortColumn(), 0);
    QCOMPARE(ds.index(0, 0).data().toString(), QString("f1004"));
    QCOMPARE(ds.index(305, 0).data().toString(), QString("f0699"));
    // The same count: no reset, the cells read again.
    QSqlQuery(m_cat.database()).exec("UPDATE DB SET Name = 'g1004' WHERE Name = 'f1004'");
    QVERIFY(ds.refresh());
    QCOMPARE(reset.size(), 1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(ds.index(0, 0).data().toString(), QString("g1004"));
    QSqlQuery(m_cat.database()).exec("DELETE FROM DB WHERE ID >= 1100");
    QVERIFY(ds.refresh());
    QCOMPARE(reset.size(), 2);
    QCOMPARE(ds.rowCount(), Rows);
}

// Run once and never again: neither a refresh nor a sort repeats them.
void tst_DataSet::statementsThatWriteRunOnce_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("rows");
    QTest::newRow("update") << "UPDATE DB SET LAC = LAC + 1 WHERE ID = 100" << 0;
    QTest::newRow("update returning") << "UPDATE DB SET LAC = LAC + 1 WHERE ID = 100 RETURNING Name, LAC" << 1;
}

void tst_DataSet::statementsThatWriteRunOnce()
{
    QFETCH(QString, sql);
    QFETCH(int, rows);
    const auto lac = [this] {
        QSqlQuery q(m_cat.database());
        return q.exec("SELECT LAC FROM DB WHERE ID = 100") && q.next() ? q.value(0).toDouble() : -1;
    };
    const double before = lac();
    DataSet ds(m_cat.connectionName());
    ds.setSql(sql);
    QVERIFY2(ds.open(), qPrintable(ds.errorText()));
    QCOMPARE(ds.returnsRows(), rows > 0);
    QCOMPARE(ds.rowCount(), rows);
    QVERIFY(ds.refresh());
    ds.sort(0);
    QCOMPARE(lac(), before + 1);
    QCOMPARE(ds.rowCount(), rows);
    if (rows > 0)
        QCOMPARE(ds.index(0, 1).data().toDouble(), before + 1);
    QSqlQuery(m_cat.database()).exec("UPDATE DB SET LAC = 0 WHERE ID = 100");
}

void tst_DataSet::rejectedStatement()
{
    DataSet ds(m_cat.connectionName());
    QSignalSpy opened(&ds, &DataSet::opened);
    ds.setSql("SELEKT nonsense");
    QVERIFY(!ds.open());
    QVERIFY(!ds.errorText().isEmpty());
    QVERIFY(!ds.isOpen());
    QCOMPARE(ds.rowCount(), 0);
    QCOMPARE(ds.columnCount(), 0);
    QCOMPARE(opened.size(), 1);
}

// Open, sorted, read far down, refreshed and closed under the tester.
void tst_DataSet::passesTheModelTester()
{
    DataSet ds(m_cat.connectionName());
    QAbstractItemModelTester tester(&ds, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ds.setSql("SELECT * FROM DB");
    QVERIFY(ds.open());
    QCOMPARE(ds.headerData(0, Qt::Horizontal).toString(), QString("Name"));
    QCOMPARE(ds.record().count(), 8);
    ds.sort(2, Qt::DescendingOrder);
    QVERIFY(ds.index(Rows - 1, 0).data().isValid());
    QVERIFY(ds.refresh());
    ds.setSql("PRAGMA table_info(DB)");
    QVERIFY(ds.open());
    QCOMPARE(ds.rowCount(), 8);
    ds.close();
    QCOMPARE(ds.rowCount(), 0);
}

QTEST_GUILESS_MAIN(tst_DataSet)
#include "tst_dataset.moc"
