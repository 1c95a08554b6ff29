#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/FolderTreeModel.h"
#include "browse/TTabForm.h"
#include "core/base/AppPaths.h"
#include "widgets/UiSeam.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The browser's tree as the user works it, in a window on the screen. Host
// "H": alpha/{a1/{a11}, a2}, beta/{b1}, gamma, each folder with one file.
class tst_FolderTreePanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void keysListTheCurrentFolder_data();
    void keysListTheCurrentFolder();
    void returnListsTheFolderAgain();
    void branchesStayOpenAsLeft();
    void rebuiltTreeKeepsBranchesAndFolder();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid);
    QModelIndex node(const QStringList &path) const;
    void click(const QModelIndex &index);
    bool listsCurrent() const;
    QTemporaryDir m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    TTabForm *tab = nullptr;
};

qint32 tst_FolderTreePanel::store(const QString &name, quint32 attr, qint32 pid)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    return m_app->catalogue().StoreEntry(e, pid, "H");
}

void tst_FolderTreePanel::initTestCase()
{
    AppPaths::setProgramDir(m_dir.path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=H\n");
    ini.close();
    UiSeam::setMessageHandler([](const QString &t) { QFAIL(qPrintable(t)); });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    tab = m_app->TabForm;
    const qint32 alpha = store("alpha", 16, 0);
    const qint32 a1 = store("a1", 16, alpha);
    for (qint32 folder : {alpha, a1, store("a11", 16, a1), store("a2", 16, alpha)})
        store(QString("in%1.txt").arg(folder), 128, folder);
    const qint32 beta = store("beta", 16, 0);
    store("b.txt", 128, store("b1", 16, beta));
    store("g.txt", 128, store("gamma", 16, 0));
    m_app->catalogue().flush();
    m_app->MainForm->resize(900, 600);
    m_app->MainForm->show();
    m_app->MainForm->FormActivate();
    QVERIFY(QTest::qWaitForWindowExposed(m_app->MainForm));
}

void tst_FolderTreePanel::cleanupTestCase()
{
    m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
}

// Every test starts from the tree of the top level, all closed, all rows listed.
void tst_FolderTreePanel::init()
{
    tab->BuildFolderTree();
    tab->TV->collapseAll();
    tab->btnAllClick();
    tab->TV->setCurrentIndex(QModelIndex());
    tab->TV->setFocus();
}

QModelIndex tst_FolderTreePanel::node(const QStringList &path) const
{
    const QAbstractItemModel *tree = tab->TV->model();
    QModelIndex at;
    for (const QString &name : path) {
        const QModelIndexList found = tree->match(tree->index(0, 0, at), Qt::DisplayRole, name, 1, Qt::MatchExactly);
        if (found.isEmpty())
            return QModelIndex();
        at = found.first();
    }
    return at;
}

void tst_FolderTreePanel::click(const QModelIndex &index)
{
    tab->TV->scrollTo(index);
    const QRect row = tab->TV->visualRect(index);
    QTest::mouseClick(tab->TV->viewport(), Qt::LeftButton, {}, QPoint(row.left() + 8, row.center().y()));
}

bool tst_FolderTreePanel::listsCurrent() const
{
    return tab->DS() == tab->q && tab->q->params() == QVariantList{TTabForm::nodeId(tab->TV->currentIndex())};
}

// Keys from alpha, closed; the folder each lands on is listed, and moving
// opens nothing.
void tst_FolderTreePanel::keysListTheCurrentFolder_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QStringList>("lands");
    QTest::addColumn<int>("rows");
    QTest::newRow("down") << QList<int>{Qt::Key_Down} << QStringList{"beta"} << 1;
    QTest::newRow("down twice") << QList<int>{Qt::Key_Down, Qt::Key_Down} << QStringList{"gamma"} << 1;
    QTest::newRow("end, then up") << QList<int>{Qt::Key_End, Qt::Key_Up} << QStringList{"beta"} << 1;
    QTest::newRow("right opens, down goes in") << QList<int>{Qt::Key_Right, Qt::Key_Down} << QStringList{"alpha", "a1"}
                                               << 2;
    QTest::newRow("a name typed") << QList<int>{Qt::Key_G} << QStringList{"gamma"} << 1;
}

void tst_FolderTreePanel::keysListTheCurrentFolder()
{
    QFETCH(QList<int>, keys);
    QFETCH(QStringList, lands);
    QFETCH(int, rows);
    tab->TV->setCurrentIndex(node({"alpha"}));
    for (int key : keys)
        QTest::keyClick(tab->TV, Qt::Key(key));
    QCOMPARE(tab->TV->currentIndex(), node(lands));
    QVERIFY(listsCurrent());
    QCOMPARE(tab->DS()->recordCount(), qint64(rows));
    QVERIFY(!tab->TV->isExpanded(node(lands)));
}

// The grid shows all rows; Return on the current folder lists it and opens it.
void tst_FolderTreePanel::returnListsTheFolderAgain()
{
    tab->TV->setCurrentIndex(node({"alpha"}));
    QCOMPARE(tab->DS(), tab->qAll);
    QTest::keyClick(tab->TV, Qt::Key_Return);
    QVERIFY(listsCurrent());
    QCOMPARE(tab->TV->currentIndex(), node({"alpha"}));
    QVERIFY(tab->TV->isExpanded(node({"alpha"})));
}

void tst_FolderTreePanel::branchesStayOpenAsLeft()
{
    click(node({"alpha"}));
    QVERIFY(tab->TV->isExpanded(node({"alpha"})));
    click(node({"alpha", "a1"}));
    click(node({"beta"}));
    QVERIFY(listsCurrent());
    QCOMPARE(tab->TV->currentIndex(), node({"beta"}));
    for (const QStringList &open : {QStringList{"alpha"}, QStringList{"alpha", "a1"}, QStringList{"beta"}})
        QVERIFY2(tab->TV->isExpanded(node(open)), qPrintable(open.join('/')));
    // A folder closed by its key stays closed when another is clicked.
    QTest::keyClick(tab->TV, Qt::Key_Left);
    click(node({"gamma"}));
    QVERIFY(!tab->TV->isExpanded(node({"beta"})));
    QVERIFY(tab->TV->isExpanded(node({"alpha", "a1"})));
}

// After a scan the tree is read again: what was open is open, the folder
// selected is selected, and one deleted since is simply gone.
void tst_FolderTreePanel::rebuiltTreeKeepsBranchesAndFolder()
{
    click(node({"alpha"}));
    click(node({"alpha", "a1"}));
    click(node({"beta"}));
    click(node({"alpha", "a2"}));
    tab->TV->collapse(node({"beta"}));
    QCOMPARE(tab->TV->currentIndex(), node({"alpha", "a2"}));
    tab->refreshViews();
    QCOMPARE(tab->TV->currentIndex(), node({"alpha", "a2"}));
    QVERIFY(tab->TV->isExpanded(node({"alpha"})));
    QVERIFY(tab->TV->isExpanded(node({"alpha", "a1"})));
    QVERIFY(!tab->TV->isExpanded(node({"beta"})));
    QVERIFY(listsCurrent());
    QCOMPARE(tab->DS()->recordCount(), 1);
}

QTEST_MAIN(tst_FolderTreePanel)
#include "tst_foldertreepanel.moc"
