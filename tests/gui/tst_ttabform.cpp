#include "core/base/AppPaths.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "widgets/UiSeam.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TCoolBtn.h"

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
    FindData e;
    e.setName(name);
    e.dwFileAttributes = attr;
    e.setSize(size);
    return tab->Tab().StoreEntry(e, pid, host);
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
    tab->BuildFolderTree(nullptr);
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
    QCOMPARE(tab->TV->topLevelItemCount(), 1);
    QTreeWidgetItem *pub = tab->TV->topLevelItem(0);
    QCOMPARE(pub->text(0), QString("pub"));
    QCOMPARE(TTabForm::nodeId(pub), m_pub);
    QCOMPARE(pub->childCount(), 1); // docs; the read-only folder "ro" (17) has no node
    QCOMPARE(pub->child(0)->text(0), QString("docs"));
    QCOMPARE(tab->laHost->text(), QString("H"));
}

void tst_TTabForm::treeClickListsChildren()
{
    tab->TV->setCurrentItem(tab->TV->topLevelItem(0));
    tab->TVClick();
    QCOMPARE(tab->DS(), tab->q);
    QCOMPARE(tab->DS()->recordCount(), 3);
    QCOMPARE(tab->panels[1]->text(), QString("3"));
}

void tst_TTabForm::gridClickSelectsNodeAndFillsStatusBar()
{
    tab->TV->setCurrentItem(tab->TV->topLevelItem(0)->child(0));
    tab->TVClick();
    tab->TV->setCurrentItem(nullptr);
    const int b = rowOf("b");
    QVERIFY(b >= 0);
    tab->DBGrid1->setCurrentIndex(tab->DS()->index(b, 0));
    tab->DBGrid1CellClick(tab->DS()->index(b, 0));
    QCOMPARE(TTabForm::nodeId(tab->TV->currentItem()), m_docs);
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
    QCOMPARE(query->btnDeafult->text(), QString("Deafult"));
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

QTEST_MAIN(tst_TTabForm)
#include "tst_ttabform.moc"
