#include "core/base/AppPaths.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "widgets/UiSeam.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TCoolBtn.h"
#include "browse/GridDelegate.h"
#include "core/catalogue/LacTime.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSqlQuery>
#include <cstring>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

class tst_TTabForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void treeOfCurrentHostOnly();
    void treeClickListsChildren();
    void gridClickSelectsNodeAndFillsStatusBar();
    void allRowsAndCounts();
    void findByPatternAndType_data();
    void findByPatternAndType();
    void typeListRebuiltOnDropDown();
    void rejectedStatementIsReported();
    void explorerOpensTheRowsAddress();
    void modelsPassTheTester();
    void treeLevelsInNameOrder();
    void lacAndSizeShownReadably_data();
    void lacAndSizeShownReadably();
    void headerClickSortsInTheQuery();
    void rowWithoutIdIsQuiet();
    void totalCountFollowsDeleteAndScan();
    void explorerFailureIsExplained();
    void treeReadsALevelWhenOpened();
    void gridClickOpensTheWayToADeepFolder();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, const QString &host = "H", quint64 size = 0);
    int rowOf(const QString &name);
    QTemporaryDir m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    TTabForm *tab = nullptr;
    QStringList m_messages;
    QList<QUrl> m_urls;
    qint32 m_pub = 0, m_docs = 0, m_lib = 0;
};

qint32 tst_TTabForm::store(const QString &name, quint32 attr, qint32 pid, const QString &host, quint64 size)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    e.size = size;
    return m_app->catalogue().StoreEntry(e, pid, host);
}

void tst_TTabForm::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    AppPaths::setProgramDir(m_dir.path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=H\n");
    ini.close();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    UiSeam::setUrlHandler([this](const QUrl &u) { m_urls << u; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    tab = m_app->TabForm;
    m_pub = store("pub", 16, 0);
    store("readme.txt", 128, 0, "H", 2048);
    m_docs = store("docs", 16, m_pub);
    store("a.txt", 128, m_pub, "H", 10);
    store("b.pdf", 128, m_docs, "H", 5368709120ull);
    store("Makefile", 128, m_docs);
    store("ro", 17, m_pub);
    m_lib = store("lib", 16, 0, "Other");
    store("other.txt", 128, m_lib, "Other");
    tab->BuildFolderTree();
}

void tst_TTabForm::cleanupTestCase()
{
    m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
    UiSeam::setUrlHandler(nullptr);
}

int tst_TTabForm::rowOf(const QString &name)
{
    DataSet *ds = tab->DS();
    while (ds->canFetchMore())
        ds->fetchMore();
    for (int r = 0; r < ds->rowCount(); ++r)
        if (ds->record(r).value("Name").toString() == name)
            return r;
    return -1;
}

void tst_TTabForm::treeOfCurrentHostOnly()
{
    const QAbstractItemModel *tree = tab->TV->model();
    QCOMPARE(tree->rowCount(), 1);
    const QModelIndex pub = tree->index(0, 0);
    QCOMPARE(pub.data().toString(), QString("pub"));
    QCOMPARE(TTabForm::nodeId(pub), m_pub);
    QCOMPARE(tree->rowCount(pub), 1); // docs; the read-only folder "ro" (17) has no node
    QCOMPARE(tree->index(0, 0, pub).data().toString(), QString("docs"));
    QCOMPARE(tab->laHost->text(), QString("H"));
}

void tst_TTabForm::treeClickListsChildren()
{
    tab->TV->setCurrentIndex(tab->TV->model()->index(0, 0));
    tab->TVClick();
    QCOMPARE(tab->DS(), tab->q);
    QCOMPARE(tab->DS()->recordCount(), 3);
    QCOMPARE(tab->panels[1]->text(), QString("3"));
}

void tst_TTabForm::gridClickSelectsNodeAndFillsStatusBar()
{
    const QAbstractItemModel *tree = tab->TV->model();
    tab->TV->setCurrentIndex(tree->index(0, 0, tree->index(0, 0)));
    tab->TVClick();
    tab->TV->setCurrentIndex(QModelIndex());
    const int b = rowOf("b");
    QVERIFY(b >= 0);
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(b, 0));
    tab->DBGrid1CellClick(tab->DS()->index(b, 0));
    QCOMPARE(TTabForm::nodeId(tab->TV->currentIndex()), m_docs);
    QCOMPARE(m_app->MainForm->StatusBar1[3]->text(), QString("//H/pub/docs/b.pdf"));
    QCOMPARE(m_app->MainForm->StatusBar1[1]->text(), QString("5.000 G"));
    tab->ShowPath1Click();
    QCOMPARE(m_messages.takeLast(), QString("Record path:\r\\pub\r\\docs\r"));
}

void tst_TTabForm::allRowsAndCounts()
{
    tab->btnAllClick();
    QCOMPARE(tab->DS(), tab->qAll);
    QCOMPARE(tab->panels[1]->text(), QString("9"));
    QCOMPARE(tab->panels[3]->text(), QString("9"));
    QCOMPARE(tab->DS()->record().count(), 8);
    QCOMPARE(tab->DS()->record().fieldName(0), QString("Name"));
}

void tst_TTabForm::findByPatternAndType_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("count");
    QTest::newRow("every record") << "%" << "ALL" << 9;
    QTest::newRow("folders") << "%" << "<DIR>" << 3;
    QTest::newRow("no extension") << "%" << "" << 2;
    QTest::newRow("pattern") << "%e%" << "ALL" << 3;
    QTest::newRow("one character") << "_.txt" << "ALL" << 0;
    QTest::newRow("pattern and type") << "%" << "txt" << 3;
}

void tst_TTabForm::findByPatternAndType()
{
    QFETCH(QString, pattern);
    QFETCH(QString, type);
    QFETCH(int, count);
    TSeekForm *seek = m_app->SeekForm;
    seek->show();
    QVERIFY(!m_app->MainForm->isEnabled());
    seek->cbTypeDropDown();
    seek->edName->setText(pattern);
    const int index = seek->cbType->findText(type);
    QVERIFY2(index >= 0, qPrintable(type));
    seek->cbType->setCurrentIndex(index);
    seek->btnOk->click();
    QVERIFY(seek->isHidden());
    QVERIFY(m_app->MainForm->isEnabled());
    QCOMPARE(tab->DS(), seek->Query);
    QCOMPARE(tab->DS()->recordCount(), qint64(count));
}

void tst_TTabForm::typeListRebuiltOnDropDown()
{
    TSeekForm *seek = m_app->SeekForm;
    seek->cbTypeDropDown();
    const int before = seek->cbType->count();
    QVERIFY(seek->cbType->findText("iso") < 0);
    store("disk.iso", 128, 0);
    seek->cbType->setCurrentIndex(2);
    seek->cbTypeDropDown();
    QCOMPARE(seek->cbType->count(), before + 1);
    QCOMPARE(seek->cbType->currentIndex(), 0);
    QVERIFY(seek->cbType->findText("iso") > 0);
}

void tst_TTabForm::rejectedStatementIsReported()
{
    TQueryForm *query = m_app->QueryForm;
    query->Memo1->setPlainText("SELEKT nonsense");
    m_messages.clear();
    query->btnExecClick();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!m_messages[0].isEmpty());
    QCOMPARE(tab->DS(), tab->Query);
    QCOMPARE(tab->DS()->rowCount(), 0);
    tab->btnAllClick();
    QVERIFY(tab->DS()->recordCount() >= 9);
    query->btnDeafultClick();
    QCOMPARE(query->Memo1->toPlainText(), QString("SELECT *\nFROM DB"));
    query->Memo1->setPlainText("SELECT Name FROM DB WHERE ext = '<DIR>'");
    query->btnExecClick();
    QCOMPARE(tab->DS()->recordCount(), 3);
    QCOMPARE(query->btnDeafult->text(), QString("&Deafult"));
}

void tst_TTabForm::explorerOpensTheRowsAddress()
{
    tab->btnAllClick();
    const int r = rowOf("other");
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(r, 0));
    m_urls.clear();
    tab->Explorer1Click();
    QCOMPARE(m_urls.size(), 1);
    QCOMPARE(m_urls[0].toString(), QString("ftp://other/lib/other.txt"));
}

void tst_TTabForm::modelsPassTheTester()
{
    tab->btnAllClick();
    QAbstractItemModelTester tester(tab->DS(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    while (tab->DS()->canFetchMore())
        tab->DS()->fetchMore();
    tab->btnAllClick();
}

void tst_TTabForm::treeLevelsInNameOrder()
{
    // In the C locale names compare as plain text; people have a language.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    const qint32 top = store("Zeta", 16, 0);
    store("alpha", 16, 0);
    store("Beta", 16, 0);
    for (const char *name : {"file10", "File2", "file1", "Ärger", "zz"})
        store(QString::fromUtf8(name), 16, top);
    tab->BuildFolderTree();
    const QAbstractItemModel *tree = tab->TV->model();
    QStringList topNames, inner;
    for (int i = 0; i < tree->rowCount(); ++i)
        topNames << tree->index(i, 0).data().toString();
    QCOMPARE(topNames, QStringList({"alpha", "Beta", "pub", "Zeta"}));
    const QModelIndex zeta = tree->index(3, 0);
    for (int i = 0; i < tree->rowCount(zeta); ++i)
        inner << tree->index(i, 0, zeta).data().toString();
    // Case-insensitive, numbers by value; the locale puts Ä with A in most
    // languages, and after Z in C: either way not among the lower-case f's.
    QCOMPARE(inner.mid(inner.indexOf("file1"), 3), QStringList({"file1", "File2", "file10"}));
    QVERIFY(inner.indexOf("zz") > inner.indexOf("file10"));
}

// What the grid shows for a cell of a column with this name: the stored value
// stays as it is in the model.
void tst_TTabForm::lacAndSizeShownReadably_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    // 2026-12-09 01:08:30 UTC as a FILETIME, kept in a double's bytes.
    const quint64 ft = (quint64(QDateTime(QDate(2026, 12, 9), QTime(1, 8, 30), Qt::UTC).toSecsSinceEpoch())
                        + 11644473600ull) * 10000000ull;
    double lac;
    std::memcpy(&lac, &ft, sizeof lac);
    const QString local = QDateTime(QDate(2026, 12, 9), QTime(1, 8, 30), Qt::UTC).toLocalTime().toString("yyyy-MM-dd HH:mm");
    QTest::newRow("time") << int(GridDelegate::Kind::Time) << QVariant(lac) << local;
    QTest::newRow("no time") << int(GridDelegate::Kind::Time) << QVariant(0.0) << QString();
    QTest::newRow("bytes") << int(GridDelegate::Kind::Size) << QVariant(10.0) << QString("10 B");
    QTest::newRow("gigabytes") << int(GridDelegate::Kind::Size) << QVariant(5368709120.0) << QString("5.0 GB");
    QTest::newRow("unknown size") << int(GridDelegate::Kind::Size) << QVariant(QMetaType(QMetaType::Double)) << QString();
    QTest::newRow("whole float") << int(GridDelegate::Kind::Plain) << QVariant(5368709120.0) << QString("5368709120");
}

void tst_TTabForm::lacAndSizeShownReadably()
{
    QFETCH(int, kind);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    QCOMPARE(GridDelegate::text(GridDelegate::Kind(kind), stored, QLocale::c()), shown);
    if (GridDelegate::Kind(kind) == GridDelegate::Kind::Time && stored.toDouble() != 0)
        QCOMPARE(LacTime::toDateTime(stored.toDouble()).toUTC(), QDateTime(QDate(2026, 12, 9), QTime(1, 8, 30), Qt::UTC));
}

// Well over one page of rows, so the sort must come from the query: the
// first screen holds the largest sizes while the rest is still unread.
void tst_TTabForm::headerClickSortsInTheQuery()
{
    const qint32 bulk = store("bulk", 16, 0);
    m_app->catalogue().beginNewFolder(bulk, "H");
    for (int i = 0; i < 1000; ++i)
        store(QString("n%1.bin").arg(i), 128, bulk, "H", quint64((i * 7919) % 1000) * 1000);
    tab->showFolder(bulk);
    DataSet *ds = tab->DS();
    QCOMPARE(ds->rowCount(), 1000);
    const int size = ds->record().indexOf("Size");
    const QModelIndex sizeCell = ds->index(0, size);
    QCOMPARE(GridDelegate::kindOf(sizeCell), GridDelegate::Kind::Size);
    tab->DBGrid1->horizontalHeader()->sectionClicked(size);
    QCOMPARE(tab->DS(), ds);
    QCOMPARE(ds->sortColumn(), size);
    QCOMPARE(ds->rowCount(), 1000);
    QCOMPARE(ds->record(0).value("Size").toDouble(), 0.0);
    tab->DBGrid1->horizontalHeader()->sectionClicked(size);
    QCOMPARE(ds->sortOrder(), Qt::DescendingOrder);
    QCOMPARE(ds->record(0).value("Size").toDouble(), 999000.0);
    QVERIFY(ds->record(1).value("Size").toDouble() <= 999000.0);
    QCOMPARE(ds->recordCount(), qint64(1000));
    QCOMPARE(tab->panels[1]->text(), QString("1000"));
    // The stored value is untouched; only the grid's text changes.
    QCOMPARE(ds->index(0, size).data().toDouble(), 999000.0);
    tab->DBGrid1->horizontalHeader()->sectionClicked(ds->record().indexOf("Name"));
    QCOMPARE(ds->record(0).value("Name").toString(), QString("n0"));
    // The model's own contract while it sorts.
    DataSet alone(m_app->catalogue().connectionName());
    alone.setSql("SELECT * FROM DB WHERE PID = :K;");
    alone.setParams({m_pub});
    QVERIFY(alone.open());
    QAbstractItemModelTester tester(&alone, QAbstractItemModelTester::FailureReportingMode::QtTest);
    alone.sort(size, Qt::DescendingOrder);
    QCOMPARE(alone.record(0).value("Name").toString(), QString("a"));
    alone.sort(-1);
    QCOMPARE(alone.rowCount(), 3);
}

void tst_TTabForm::rowWithoutIdIsQuiet()
{
    m_app->MainForm->StatusBar1[3]->setText("before");
    TQueryForm *query = m_app->QueryForm;
    query->Memo1->setPlainText("SELECT Name, Size FROM DB");
    query->btnExecClick();
    m_messages.clear();
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(0, 0));
    tab->DBGrid1CellClick(tab->DS()->index(0, 0));
    query->Memo1->setPlainText("SELECT 12345 AS ID, 'gone' AS Name");
    query->btnExecClick();
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(0, 0));
    tab->DBGrid1CellClick(tab->DS()->index(0, 0));
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(m_app->MainForm->StatusBar1[3]->text(), QString("before"));
}

void tst_TTabForm::totalCountFollowsDeleteAndScan()
{
    tab->btnAllClick();
    const qint64 before = m_app->catalogue().recordCount();
    QCOMPARE(tab->panels[3]->text(), QString::number(before));
    TQueryForm *query = m_app->QueryForm;
    query->Memo1->setPlainText("DELETE FROM DB WHERE Name = 'readme'");
    query->btnExecClick();
    QCOMPARE(tab->panels[3]->text(), QString::number(before - 1));
    // The end of a scan rebuilds the tree from the top: the count follows.
    store("new.txt", 128, 0);
    tab->BuildFolderTree();
    QCOMPARE(tab->panels[3]->text(), QString::number(before));
}

void tst_TTabForm::explorerFailureIsExplained()
{
    tab->btnAllClick();
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(rowOf("other"), 0));
    QList<QUrl> tried;
    UiSeam::setUrlOpener([&tried](const QUrl &u) {
        tried << u;
        return false;
    });
    m_messages.clear();
    tab->Explorer1Click();
    UiSeam::setUrlHandler([this](const QUrl &u) { m_urls << u; });
    QCOMPARE(tried.size(), 1);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].contains("ftp://"));
    QVERIFY(m_messages[0].contains("ftp://other/lib/other.txt"));
    QVERIFY(m_messages[0].contains("clipboard"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("ftp://other/lib/other.txt"));
}

namespace {
QStringList childNames(const QModelIndex &node)
{
    QStringList names;
    for (int i = 0; i < node.model()->rowCount(node); ++i)
        names << node.model()->index(i, 0, node).data().toString();
    return names;
}
} // namespace

// Host "Deep": top/d1/d2/d3/d4, each folder with a file, d1 beside "empty".
// Shown is what has been opened, and one level more, for the arrows.
void tst_TTabForm::treeReadsALevelWhenOpened()
{
    qint32 parent = store("top", 16, 0, "Deep");
    store("empty", 16, parent, "Deep");
    for (int i = 1; i <= 4; ++i) {
        store(QString("f%1.txt").arg(i), 128, parent, "Deep");
        parent = store(QString("d%1").arg(i), 16, parent, "Deep");
    }
    m_app->SelHost->cbHost->setEditText("Deep");
    auto restore = qScopeGuard([this] {
        m_app->SelHost->cbHost->setEditText("H");
        tab->BuildFolderTree();
    });
    tab->BuildFolderTree();
    const QAbstractItemModel *tree = tab->TV->model();
    QCOMPARE(tree->rowCount(), 1);
    const QModelIndex top = tree->index(0, 0);
    QCOMPARE(childNames(top), (QStringList{"d1", "empty"}));
    const QModelIndex d1 = tree->index(0, 0, top);
    QCOMPARE(tree->rowCount(d1), 0); // not read until top opens
    tab->TV->expand(top);
    QCOMPARE(childNames(d1), QStringList{"d2"});
    QCOMPARE(tree->rowCount(tree->index(1, 0, top)), 0); // "empty" holds no folder: no arrow
    QVERIFY(!tree->hasChildren(tree->index(1, 0, top)));
    QCOMPARE(tree->rowCount(tree->index(0, 0, d1)), 0);
    tab->TV->expand(d1);
    QCOMPARE(childNames(tree->index(0, 0, d1)), QStringList{"d3"});
    // Collapsed and opened again: read once.
    tab->TV->collapse(top);
    tab->TV->expand(top);
    QCOMPARE(childNames(top), (QStringList{"d1", "empty"}));
    QCOMPARE(childNames(d1), QStringList{"d2"});
}

// A file deep down listed in the grid: clicking it selects its folder, whose
// levels the tree had not read yet.
void tst_TTabForm::gridClickOpensTheWayToADeepFolder()
{
    m_app->SelHost->cbHost->setEditText("Deep");
    auto restore = qScopeGuard([this] {
        m_app->SelHost->cbHost->setEditText("H");
        tab->BuildFolderTree();
    });
    tab->BuildFolderTree();
    QSqlQuery q(m_app->catalogue().database());
    QVERIFY(q.exec("SELECT ID FROM DB WHERE Name = 'd4'") && q.next());
    const qint32 d4 = q.value(0).toInt();
    tab->showFolder(d4);
    QCOMPARE(TTabForm::nodeId(tab->TV->currentIndex()), d4);
    QVERIFY(q.exec("SELECT ID FROM DB WHERE Name = 'd3'") && q.next());
    const qint32 d3 = q.value(0).toInt();
    // Another host and back: the tree is read again from its top level.
    m_app->SelHost->cbHost->setEditText("H");
    tab->BuildFolderTree();
    m_app->SelHost->cbHost->setEditText("Deep");
    tab->BuildFolderTree();
    tab->q->close();
    tab->q->setParams({d3});
    tab->openDataSet(tab->q);
    tab->setDS(tab->q);
    QVERIFY(!tab->TV->currentIndex().isValid());
    const int file = rowOf("f4");
    QVERIFY(file >= 0);
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(file, 0));
    tab->DBGrid1CellClick(tab->DS()->index(file, 0));
    const QModelIndex node = tab->TV->currentIndex();
    QCOMPARE(TTabForm::nodeId(node), d3);
    QStringList path;
    for (QModelIndex n = node; n.isValid(); n = n.parent())
        path.prepend(n.data().toString());
    QCOMPARE(path, (QStringList{"top", "d1", "d2", "d3"}));
    QCOMPARE(childNames(node), QStringList{"d4"}); // its arrow
    // A folder of another host, and a file's top level, select nothing.
    tab->SelectFolderNode(m_lib);
    tab->SelectFolderNode(0);
    QCOMPARE(TTabForm::nodeId(tab->TV->currentIndex()), d3);
}

QTEST_MAIN(tst_TTabForm)
#include "tst_ttabform.moc"
