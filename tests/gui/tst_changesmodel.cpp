#include "browse/ChangesModel.h"
#include "core/catalogue/Catalogue.h"

#include <QAbstractItemModelTester>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The table of a scan's changes: one row a line, sizes right-aligned, blank
// where a value does not exist, and a reload that passes the model checks.
class tst_ChangesModel : public QObject
{
    Q_OBJECT
private slots:
    void cellsOfEachKind_data();
    void cellsOfEachKind();
    void reloadAndOtherHosts();

private:
    void fill(Catalogue &cat);
};

void tst_ChangesModel::fill(Catalogue &cat)
{
    QSqlQuery q(cat.database());
    // As the first scan adds them.
    QVERIFY(q.exec("ALTER TABLE ScanChange ADD COLUMN OldSize DOUBLE PRECISION"));
    QVERIFY(q.exec("ALTER TABLE ScanChange ADD COLUMN OldLAC DOUBLE PRECISION"));
    QVERIFY(q.exec("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES ('a', 'txt', 2500, 'H', 32, 0, 5, 0)"));
    QVERIFY(q.exec("INSERT INTO ScanChange (Host, Change, ID, OldSize) VALUES ('H', 'changed', 5, 1200)"));
    QVERIFY(q.exec("INSERT INTO ScanChange (Host, Change, ID, Path, OldSize) VALUES ('H', 'removed', 6, 'b', 3)"));
}

void tst_ChangesModel::cellsOfEachKind_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("changed") << 0 << QStringList{"changed", "/a.txt", "1200", "2500", "", ""};
    QTest::newRow("removed") << 1 << QStringList{"removed", "/b", "3", "", "", ""};
}

void tst_ChangesModel::cellsOfEachKind()
{
    QFETCH(int, row);
    QFETCH(QStringList, cells);
    QTemporaryDir dir;
    Catalogue cat;
    cat.open(dir.filePath("DB"));
    fill(cat);
    ChangesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QLocale::setDefault(QLocale::c());
    model.load(cat, "H", QByteArray());
    QCOMPARE(model.rowCount(), 2);
    QStringList shown;
    for (int c = 0; c < model.columnCount(); ++c)
        shown << model.index(row, c).data().toString();
    QCOMPARE(shown, cells);
    QCOMPARE(model.index(row, ChangesModel::OldSize).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(model.headerData(ChangesModel::NewSize, Qt::Horizontal).toString(), "New size");
}

void tst_ChangesModel::reloadAndOtherHosts()
{
    QTemporaryDir dir;
    Catalogue cat;
    cat.open(dir.filePath("DB"));
    fill(cat);
    ChangesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.load(cat, "H", QByteArray());
    QCOMPARE(model.rowCount(), 2);
    model.load(cat, "other", QByteArray());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.report().total(), 0);
}

QTEST_MAIN(tst_ChangesModel)
#include "tst_changesmodel.moc"
