#include "FtpTestServer.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/TQueryForm.h"
#include "browse/TStatsForm.h"
#include "browse/TTabForm.h"
#include "core/base/AppPaths.h"
#include "core/catalogue/SqliteSchema.h"
#include "ftp/TSelHost.h"
#include "widgets/UiSeam.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <sqlite3.h>
#include "core/catalogue/SqlDialect.h"

// The browser's views after real scans of a real server, checked as soon as
// the window says the scan has ended: what a scan changed is what they show.
// The server's tree: readme.txt, pub/{keep.txt, a.txt, docs/b.pdf}, src/c.zip.
class tst_TTabFormScans : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartHintsThenListsTheTopFolder();
    void rescanShowsWhatChanged();
    void logStaysBoundedWhileTheGridShowsALargeHost();

private:
    bool runScan(int timeoutMs = 60000);
    qint64 countOnAnotherConnection(const QString &sql);
    QStringList gridNames() const;
    QStringList treeNames(const QModelIndex &parent) const;
    std::unique_ptr<QTemporaryDir> m_tree;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    std::unique_ptr<FtpTestServer> m_server;
    TTabForm *tab = nullptr;
    QStringList m_messages;
};

// Small enough that a scan of a few thousand files passes it many times.
static constexpr qint64 CheckpointBytes = 256 * 1024;

void tst_TTabFormScans::initTestCase()
{
    SqliteSchema::setCheckpointBytes(CheckpointBytes);
}

void tst_TTabFormScans::init()
{
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_tree = std::make_unique<QTemporaryDir>();
    for (const QString &f : QStringList{"readme.txt", "pub/keep.txt", "pub/a.txt", "pub/docs/b.pdf", "src/c.zip"})
        FtpTestServer::makeFile(m_tree->filePath(f), 10);
    m_server = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_server->start(m_tree->path()));
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setProgramDir(m_dir->path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=" + m_server->hostText().toUtf8() + "\n");
    ini.close();
    m_messages.clear();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    m_app->MainForm->resize(900, 600);
    m_app->MainForm->show();
    m_app->MainForm->FormActivate();
    tab = m_app->TabForm;
}

void tst_TTabFormScans::cleanup()
{
    if (m_app)
        m_app->shutDown();
    m_app.reset();
    m_server.reset();
    UiSeam::setMessageHandler(nullptr);
}

bool tst_TTabFormScans::runScan(int timeoutMs)
{
    QSignalSpy ended(m_app->MainForm, &TMainForm::scanFinished);
    m_app->MainForm->ScanHost();
    return m_app->MainForm->isScanning() && ended.wait(timeoutMs);
}

// What harvex-cli or any other program sees in the file.
qint64 tst_TTabFormScans::countOnAnotherConnection(const QString &sql)
{
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "another");
        db.setDatabaseName(Catalogue::fileIn(AppPaths::catalogueDir()));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                n = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase("another");
    return n;
}

QStringList tst_TTabFormScans::gridNames() const
{
    QStringList names;
    for (int r = 0; r < tab->DS()->rowCount(); ++r) {
        const QSqlRecord row = tab->DS()->record(r);
        const QString ext = row.value("ext").toString();
        names << row.value("Name").toString() + (ext.isEmpty() || ext == "<DIR>" ? QString() : "." + ext);
    }
    names.sort();
    return names;
}

QStringList tst_TTabFormScans::treeNames(const QModelIndex &parent) const
{
    QStringList names;
    const QAbstractItemModel *tree = tab->TV->model();
    for (int r = 0; r < tree->rowCount(parent); ++r)
        names << tree->index(r, 0, parent).data().toString();
    return names;
}

void tst_TTabFormScans::firstStartHintsThenListsTheTopFolder()
{
    QCOMPARE(tab->DBGrid1->hint(), QString("Choose File > Select Host, then Scan Host"));
    QCOMPARE(TTabForm::emptyHint(), tab->DBGrid1->hint());
    QVERIFY(runScan());
    QCOMPARE(tab->DBGrid1->hint(), QString());
    QCOMPARE(tab->DS(), tab->q);
    QCOMPARE(gridNames(), (QStringList{"pub", "readme.txt", "src"}));
    QCOMPARE(treeNames({}), (QStringList{"pub", "src"}));
    QCOMPARE(tab->panels[1]->text(), QString("3"));
    QCOMPARE(tab->panels[3]->text(), QString::number(countOnAnotherConnection("SELECT COUNT(*) FROM DB")));
    QVERIFY(m_messages.isEmpty());
}

// pub open and listed, the statistics open; then a file goes, one comes, one
// grows and a folder is made, and the host is scanned again.
void tst_TTabFormScans::rescanShowsWhatChanged()
{
    QVERIFY(runScan());
    const QModelIndex pub = tab->TV->model()->index(0, 0);
    QCOMPARE(pub.data().toString(), QString("pub"));
    tab->TV->setCurrentIndex(pub);
    tab->TVClick();
    tab->TV->expand(pub);
    QCOMPARE(gridNames(), (QStringList{"a.txt", "docs", "keep.txt"}));
    tab->showStatistics();
    QVERIFY(tab->statsForm() && tab->statsForm()->isVisible());
    const qint64 entriesBefore = tab->statsForm()->statistics()->totals().entries;

    QVERIFY(QFile::remove(m_tree->filePath("pub/a.txt")));
    FtpTestServer::makeFile(m_tree->filePath("pub/new.txt"), 20);
    FtpTestServer::makeFile(m_tree->filePath("pub/keep.txt"), 3000);
    FtpTestServer::makeFile(m_tree->filePath("pub/extra/e.txt"), 5);
    QVERIFY(runScan());

    QCOMPARE(tab->DS(), tab->q);
    QCOMPARE(gridNames(), (QStringList{"docs", "extra", "keep.txt", "new.txt"}));
    for (int r = 0; r < tab->DS()->rowCount(); ++r)
        if (tab->DS()->record(r).value("Name") == "keep")
            QCOMPARE(tab->DS()->record(r).value("Size").toLongLong(), 3000);
    QCOMPARE(tab->panels[1]->text(), QString("4"));
    const qint64 total = countOnAnotherConnection("SELECT COUNT(*) FROM DB");
    QCOMPARE(tab->panels[3]->text(), QString::number(total));
    const QModelIndex pubAgain = tab->TV->currentIndex();
    QCOMPARE(pubAgain.data().toString(), QString("pub"));
    QVERIFY(tab->TV->isExpanded(pubAgain));
    QCOMPARE(treeNames(pubAgain), (QStringList{"docs", "extra"}));
    QCOMPARE(tab->statsForm()->statistics()->totals().entries, entriesBefore + 2);
    // The SQL window counts what the file holds.
    m_app->QueryForm->Memo1->setPlainText("SELECT COUNT(*) FROM DB");
    m_app->QueryForm->btnExecClick();
    QCOMPARE(tab->DS()->index(0, 0).data().toLongLong(), total);
    QVERIFY(m_messages.isEmpty());
}

// The grid shows every row of a host of 5,000 rows, moved about while a scan
// of 45,000 files writes many times the checkpoint size. The window's
// connection holds no read transaction between its reads, so the log is
// checkpointed and written again from its start: it stays near the
// checkpoint size and its largest commits, well below what the scan wrote
// (a read held open kept every page the scan wrote in the log). The log's
// file never shrinks, so its size at the end is its peak.
void tst_TTabFormScans::logStaysBoundedWhileTheGridShowsALargeHost()
{
    for (int d = 0; d < 60; ++d)
        for (int f = 0; f < 750; ++f)
            FtpTestServer::makeFile(m_tree->filePath(QString("bulk/d%1/file%2.dat").arg(d).arg(f)), f);
    {
        QSqlQuery q(m_app->catalogue().database());
        QVERIFY(q.exec("BEGIN"));
        QVERIFY(q.prepare("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES (?, 'x', ?, 'large', 128, 0, ?, 0)"));
        for (int i = 0; i < 5000; ++i) {
            q.addBindValue(QString("row%1").arg(i));
            q.addBindValue(i);
            q.addBindValue(10000000 + i);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(q.exec("COMMIT"));
        // That commit alone was larger than the bound: the log starts empty.
        QVERIFY(q.exec("PRAGMA wal_checkpoint(TRUNCATE)") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
    tab->btnAllClick();
    QCOMPARE(tab->DS()->rowCount(), 5000);
    const QString file = Catalogue::fileIn(AppPaths::catalogueDir());
    const qint64 fileBefore = QFileInfo(file).size();
    sqlite3 *window = SqlDialect::sqliteHandle(m_app->catalogue().database());
    qint64 peak = 0, largestStep = 0;
    int reads = 0, readsHeld = 0;
    QTimer mover;
    connect(&mover, &QTimer::timeout, this, [&] {
        const int row = (reads++ * 1237) % tab->DS()->rowCount();
        tab->DBGrid1->scrollTo(tab->DS()->index(row, 0));
        QVERIFY(!tab->DS()->index(row, 0).data().toString().isEmpty());
        readsHeld += sqlite3_txn_state(window, nullptr) != SQLITE_TXN_NONE;
        const qint64 now = QFileInfo(file + "-wal").size();
        largestStep = qMax(largestStep, now - peak);
        peak = qMax(peak, now);
    });
    // Faster than a user scrolls, so that a scan that ends within a second
    // on a quiet machine still meets many reads: a page every 20 ms.
    mover.start(20);
    QVERIFY(runScan(180000));
    mover.stop();
    peak = qMax(peak, QFileInfo(file + "-wal").size());
    const qint64 written = QFileInfo(file).size() - fileBefore;
    qInfo("log peak %lld bytes, largest growth %lld, catalogue grew %lld bytes, %d reads", peak, largestStep, written,
          reads);
    QVERIFY(reads > 5);
    QCOMPARE(readsHeld, 0);
    // A commit that meets a reader empties the log at the next one: at
    // worst two commits' worth, seen at a sample taken during a third.
    QVERIFY2(peak <= CheckpointBytes + 3 * largestStep, qPrintable(QString("log reached %1 bytes").arg(peak)));
    // Commits come every quarter of a second, so a quick scan makes few and
    // large ones; a log never emptied would hold at least all it wrote.
    QVERIFY2(peak < written, qPrintable(QString("log reached %1 bytes of %2").arg(peak).arg(written)));
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(tst_TTabFormScans)
#include "tst_ttabformscans.moc"
