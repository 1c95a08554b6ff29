#include "core/base/AppPaths.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/TStatsForm.h"
#include "browse/TTabForm.h"
#include "core/catalogue/ScanRuns.h"
#include "widgets/UiSeam.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class tst_TStatsForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void opensWithTheHostsFigures();
    void clickGoesInPathBarLeadsBack();
    void doubleClickShowsTheFolderInTheBrowser();
    void lastScanIsTheLatestRecordedStart();
    void reloadKeepsTheFolderShown();
    void fitsTheScreenAndEscapeCloses();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, quint64 size = 0);
    QTemporaryDir m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    TStatsForm *m_form = nullptr;
    qint32 m_pub = 0, m_docs = 0;
};

qint32 tst_TStatsForm::store(const QString &name, quint32 attr, qint32 pid, quint64 size)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    e.size = size;
    return m_app->catalogue().StoreEntry(e, pid, "H");
}

void tst_TStatsForm::initTestCase()
{
    AppPaths::setProgramDir(m_dir.path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=H\n");
    ini.close();
    UiSeam::setMessageHandler([](const QString &t) { QFAIL(qPrintable(t)); });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    m_pub = store("pub", 16, 0);
    m_docs = store("docs", 16, m_pub);
    for (int i = 0; i < 20; ++i)
        store(QString("f%1.t%2").arg(i).arg(i), 128, m_docs, quint64(1000 + i));
    store("readme.txt", 128, 0, 100);
    m_app->TabForm->BuildFolderTree();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ScanRuns(m_app->catalogue().database()).record("H", now, now);
    m_app->MainForm->Statistics1->trigger();
    m_form = m_app->TabForm->statsForm();
    QVERIFY(m_form);
}

void tst_TStatsForm::cleanupTestCase()
{
    m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
}

void tst_TStatsForm::opensWithTheHostsFigures()
{
    QVERIFY(m_form->isVisible());
    QVERIFY(m_app->MainForm->isEnabled()); // not modal: the browser stays usable
    const QString totals = m_form->laTotals->text();
    QVERIFY2(totals.contains("Entries: <b>23</b>"), qPrintable(totals));
    QVERIFY(totals.contains("Folders: <b>2</b>"));
    QVERIFY(!totals.contains("not in the log"));
    auto *types = qobject_cast<QBarCategoryAxis *>(m_form->chartView->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(types);
    QCOMPARE(types->count(), 16); // 15 types and "other"
    QVERIFY(types->categories().contains("other"));
    QCOMPARE(m_form->largestTable->rowCount(), 20);
    QCOMPARE(m_form->largestTable->item(0, 0)->text(), QString("f19.t19"));
    QCOMPARE(m_form->treeMap->items().size(), 2); // pub, and the top level's own file
    QCOMPARE(m_form->treeMap->items()[0].id, m_pub);
    QCOMPARE(m_form->treeMap->items()[0].children.size(), 1);
}

void tst_TStatsForm::clickGoesInPathBarLeadsBack()
{
    m_form->resize(900, 600);
    const QRect pub = m_form->treeMap->blockRects(m_form->treeMap->size())[0];
    QTest::mouseClick(m_form->treeMap, Qt::LeftButton, {}, pub.center());
    QCOMPARE(m_form->currentFolder(), m_pub);
    QCOMPARE(m_form->treeMap->items()[0].id, m_docs);
    const QList<QToolButton *> path = m_form->pathBar->findChildren<QToolButton *>();
    QCOMPARE(path.size(), 2);
    QCOMPARE(path[0]->text(), QString("H"));
    QCOMPARE(path[1]->text(), QString("pub"));
    path[0]->click();
    QCOMPARE(m_form->currentFolder(), 0);
}

void tst_TStatsForm::doubleClickShowsTheFolderInTheBrowser()
{
    m_form->enterFolder(m_pub);
    emit m_form->treeMap->blockDoubleClicked(m_docs);
    TTabForm *tab = m_app->TabForm;
    QCOMPARE(tab->DS(), tab->q);
    QCOMPARE(tab->DS()->recordCount(), qint64(20));
    QCOMPARE(TTabForm::nodeId(tab->TV->currentIndex()), m_docs);
}

// Shown in local time as the log stamps it; a host with no recorded run (one
// scanned before the catalogue kept runs) says so as before.
void tst_TStatsForm::lastScanIsTheLatestRecordedStart()
{
    ScanRuns runs(m_app->catalogue().database());
    const QDateTime started(QDate(2031, 1, 2), QTime(5, 9, 0));
    runs.record("H", started, started.addSecs(90));
    runs.record("H", started.addDays(-400), started.addDays(-400));
    runs.record("Other", started.addDays(1), started.addDays(1));
    m_form->showHost("H");
    QVERIFY2(m_form->laTotals->text().contains("Last scan: <b>1/2/2031 5:9:0</b>"), qPrintable(m_form->laTotals->text()));
    m_form->showHost("Unscanned");
    QVERIFY(m_form->laTotals->text().contains("Last scan: <b>not in the log</b>"));
    m_form->showHost("H");
}

// After a scan: the figures read again, the folder entered kept.
void tst_TStatsForm::reloadKeepsTheFolderShown()
{
    m_form->enterFolder(m_pub);
    store("late.bin", 128, m_docs, 50);
    m_form->reload();
    QCOMPARE(m_form->currentFolder(), m_pub);
    QCOMPARE(m_form->statistics()->totals().entries, qint64(24));
    QVERIFY(m_form->laTotals->text().contains("Entries: <b>24</b>"));
}

void tst_TStatsForm::fitsTheScreenAndEscapeCloses()
{
    m_form->close();
    m_form->resize(5000, 4000); // as if left larger than the screen
    m_app->MainForm->Statistics1->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    const QRect screen = m_app->MainForm->screen()->availableGeometry();
    QVERIFY2(screen.contains(m_form->frameGeometry()), qPrintable(QString("%1x%2").arg(m_form->width()).arg(m_form->height())));
    QTest::keyClick(m_form, Qt::Key_Escape);
    QVERIFY(!m_form->isVisible());
}

QTEST_MAIN(tst_TStatsForm)
#include "tst_tstatsform.moc"
