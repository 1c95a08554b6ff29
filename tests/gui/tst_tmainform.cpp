#include "core/base/AppPaths.h"
#include "FtpTestServer.h"
#include "core/scan/ScanWorker.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "core/catalogue/ScanRuns.h"
#include "widgets/UiSeam.h"
#include "browse/TQueryForm.h"
#include "browse/TTabForm.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TCoolBtn.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The connection and scan commands of the main window against real servers.
// Scans run on the window's worker thread: tests wait for the window's own
// signals, with the event loop turning.
class tst_TMainForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectAndDisconnect();
    void unavailableHost();
    void scanLogsInOrderAndFillsTree();
    void cancelKeepsWhatWasStored();
    void aCancelledScanIsOfferedToResume_data();
    void aCancelledScanIsOfferedToResume();
    void scanWindowShowsHostAndUser();
    void disconnectAndExitDuringAScan();
    void hostHistory();
    void emptyHostGivesOneMessage();
    void stalledServerKeepsTheWindowAlive_data();
    void stalledServerKeepsTheWindowAlive();
    void refusedLogonIsLogged();
    void recordCountOfTheStatementItself();
    void writingStatementRefusedDuringAScan();
    void noConnectionStillInUseAtExit();

private:
    void startApp(const QString &host);
    bool runScan(int timeoutMs = 20000);
    QStringList linesAfter(int from) const;
    qint64 rowCount();
    QTemporaryDir m_tree;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    std::unique_ptr<FtpTestServer> m_server;
    QStringList m_messages;
};

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void keepWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
    if (g_previous)
        g_previous(type, context, text);
}
} // namespace

void tst_TMainForm::initTestCase()
{
    for (const QString &f : QStringList{"readme.txt", "pub/a.txt", "pub/docs/b.pdf", "src/c.zip", "src/lib/d.c"})
        FtpTestServer::makeFile(m_tree.filePath(f), 10);
}

void tst_TMainForm::startApp(const QString &host)
{
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setProgramDir(m_dir->path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=" + host.toUtf8() + "\n");
    ini.close();
    m_messages.clear();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    m_app->MainForm->FormActivate();
}

void tst_TMainForm::init()
{
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_server = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_server->start(m_tree.path()));
    startApp(m_server->hostText());
}

void tst_TMainForm::cleanup()
{
    if (m_app)
        m_app->shutDown();
    m_app.reset();
    m_server.reset();
    UiSeam::setMessageHandler(nullptr);
}

bool tst_TMainForm::runScan(int timeoutMs)
{
    QSignalSpy ended(m_app->MainForm, &TMainForm::scanFinished);
    m_app->MainForm->ScanHost();
    return m_app->MainForm->isScanning() && ended.wait(timeoutMs);
}

QStringList tst_TMainForm::linesAfter(int from) const
{
    QStringList out;
    const QStringList all = m_app->MainForm->log().lines();
    for (int i = from; i < all.size(); ++i)
        out << all[i].section("    ", 0, 0);
    return out;
}

qint64 tst_TMainForm::rowCount()
{
    QSqlQuery q(m_app->catalogue().database());
    return q.exec("SELECT COUNT(*) FROM DB") && q.next() ? q.value(0).toLongLong() : -1;
}

void tst_TMainForm::connectAndDisconnect()
{
    TMainForm *m = m_app->MainForm;
    const int start = m->log().lines().size();
    QSignalSpy done(m, &TMainForm::connectFinished);
    m->Connectto1Click();
    QVERIFY(done.wait(10000));
    QVERIFY(m->isConnected());
    m->Disconnect1Click();
    QVERIFY(!m->isConnected());
    m->Connectto1Click();
    QVERIFY(done.wait(10000));
    const QString host = m_server->hostText();
    QTRY_COMPARE(linesAfter(start), (QStringList{" Connecting to " + host + "  User:\"\"",
                                                 " Connecting to " + host + "  User:\"\""}));
    QVERIFY(m_messages.isEmpty());
}

void tst_TMainForm::unavailableHost()
{
    TMainForm *m = m_app->MainForm;
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(FtpTestServer::freePort());
    m_app->SelHost->cbHost->setEditText(closed);
    const int start = m->log().lines().size();
    QSignalSpy done(m, &TMainForm::connectFinished);
    m->Connectto1Click();
    QVERIFY(done.wait(10000));
    QCOMPARE(m_messages, QStringList{"Host \"" + closed + "\" is not available: connection refused"});
    QCOMPARE(linesAfter(start), (QStringList{" Connecting to " + closed + "  User:\"\"",
                                             "Host \"" + closed + "\" is not available: connection refused"}));
    QVERIFY(!m->isConnected());
}

void tst_TMainForm::scanLogsInOrderAndFillsTree()
{
    TMainForm *m = m_app->MainForm;
    const int start = m->log().lines().size();
    QVERIFY(runScan());
    const QString host = m_server->hostText();
    QCOMPARE(linesAfter(start), (QStringList{" Connecting to " + host + "  User:\"\"",
                                             "   Scanning of Host " + host + " started:",
                                             "   Scanning complete. Scan time:0 sec",
                                             "   Added " + QString::number(m->lastScan().added)
                                                 + ", changed 0, removed 0"}));
    QCOMPARE(m->lastScan().entries, 9);
    QVERIFY(m->scanForm()->isHidden());
    QCOMPARE(m_app->TabForm->TV->model()->rowCount(), 2);
    QCOMPARE(m_app->TabForm->panels[3]->text(), QString::number(m_app->catalogue().recordCount()));
    // The run is in the catalogue, for the statistics window's last scan.
    QVERIFY(ScanRuns(m_app->catalogue().database()).lastStarted(host).isValid());
    QVERIFY(m->ScanHost1->isEnabled());
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(rowCount(), 9);
}

void tst_TMainForm::cancelKeepsWhatWasStored()
{
    TMainForm *m = m_app->MainForm;
    QVERIFY(runScan());
    const qint64 stored = rowCount();
    // Cancel as soon as the walk starts: the line says so, before the scan-time line.
    connect(m->worker(), &ScanWorker::walkStarted, m->scanForm()->btnCancel, &QPushButton::click,
            Qt::QueuedConnection);
    const int start = m->log().lines().size();
    QVERIFY(runScan());
    QVERIFY(m->lastScan().cancelled);
    const QStringList lines = linesAfter(start);
    QCOMPARE(lines.filter("Scan cancelled").size(), 1);
    QCOMPARE(lines.indexOf(QRegularExpression("   Scan cancelled.*")) + 1,
             lines.indexOf(QRegularExpression("   Scanning complete.*")));
    QCOMPARE(rowCount(), stored);
}

void tst_TMainForm::aCancelledScanIsOfferedToResume_data()
{
    QTest::addColumn<bool>("resume");
    QTest::newRow("Resume") << true;
    QTest::newRow("Start over") << false;
}

// A scan cut short leaves folders to list: the next one asks first.
void tst_TMainForm::aCancelledScanIsOfferedToResume()
{
    QFETCH(bool, resume);
    TMainForm *m = m_app->MainForm;
    TScanForm *panel = m->scanForm();
    // On the scan's thread as the walk starts: a loaded machine cannot let the walk end first.
    ScanWorker *worker = m->worker();
    const auto cancel = connect(worker, &ScanWorker::walkStarted, worker, [worker] { worker->cancel(); },
                                Qt::DirectConnection);
    QVERIFY(runScan());
    QVERIFY(m->lastScan().cancelled);
    disconnect(cancel);
    m->ScanHost();
    QVERIFY(!m->isScanning());
    QVERIFY(panel->isVisible());
    QVERIFY(panel->btnResume->isVisible() && panel->btnStartOver->isVisible());
    QVERIFY2(panel->Label5->text().contains("folders are left to list"), qPrintable(panel->Label5->text()));
    const int start = m->log().lines().size();
    QSignalSpy ended(m, &TMainForm::scanFinished);
    (resume ? panel->btnResume : panel->btnStartOver)->click();
    QVERIFY(m->isScanning());
    QVERIFY(!panel->btnResume->isVisible());
    QVERIFY(ended.wait(20000));
    QVERIFY(!m->lastScan().cancelled);
    QCOMPARE(linesAfter(start).filter("Resuming the scan of").size(), resume ? 1 : 0);
    QCOMPARE(rowCount(), 9);
    // Nothing is left: the next scan asks nothing.
    QVERIFY(runScan());
}

void tst_TMainForm::scanWindowShowsHostAndUser()
{
    TMainForm *m = m_app->MainForm;
    m_app->SelHost->edName->setText("anonymous");
    QSignalSpy ended(m, &TMainForm::scanFinished);
    m->ScanHost();
    // Shown at once, before the log-on, with the host and user as read.
    QVERIFY(m->scanForm()->isVisible());
    QCOMPARE(m->scanForm()->laHost->text(), m_server->hostText());
    QCOMPARE(m->scanForm()->laUser->text(), QString("anonymous"));
    QVERIFY(!m->ScanHost1->isEnabled());
    QVERIFY(!m->Connectto1->isEnabled());
    QVERIFY(ended.wait(20000));
    QCOMPARE(m->scanForm()->Label5->text(), QString("Saning in progress ..."));
    QVERIFY(m->scanForm()->progressPosition() >= 100);
}

void tst_TMainForm::disconnectAndExitDuringAScan()
{
    TMainForm *m = m_app->MainForm;
    QSignalSpy ended(m, &TMainForm::scanFinished);
    m->ScanHost();
    m->Disconnect1Click();
    QVERIFY(ended.wait(5000));
    QVERIFY(m->lastScan().cancelled);
    QVERIFY(!m->isConnected());

    m->ScanHost();
    m->close();
    QVERIFY(m->isVisible()); // not before the scan has ended
    QVERIFY(ended.wait(5000));
    QVERIFY2(!m->isVisible(), "the window closes once the scan has ended");
}

void tst_TMainForm::hostHistory()
{
    TSelHost *s = m_app->SelHost;
    s->cbHost->setEditText("new.example.org");
    s->cbExit();
    QCOMPARE(s->history().first(), QString("new.example.org"));
    s->cbExit();
    QCOMPARE(s->history().count("new.example.org"), 1);
    for (int i = 0; i < 150; ++i) {
        s->cbHost->addItem(QStringLiteral("h%1").arg(i));
        s->markReached(QStringLiteral("h%1").arg(i));
    }
    s->edPsw->setText("secret-password");
    m_app->shutDown();
    m_app.reset();
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    QVERIFY(text.contains("Host Count=100"));
    QVERIFY(text.contains("1=" + m_server->hostText().toUtf8()));
    QVERIFY(text.contains("100=h98"));
    QVERIFY(!text.contains("101="));
    QVERIFY2(!text.contains("new.example.org"), "a host never reached is not kept");
    QVERIFY(!text.contains("secret-password"));
}

void tst_TMainForm::emptyHostGivesOneMessage()
{
    TMainForm *m = m_app->MainForm;
    TSelHost *s = m_app->SelHost;
    s->cbHost->setEditText(QString());
    int asked = 0;
    // The dialog asks once; closing it empty gives one message and no scan.
    QTimer closer;
    connect(&closer, &QTimer::timeout, s, [&] {
        if (s->isVisible()) {
            ++asked;
            s->btnOk->click();
        }
    });
    closer.start(20);
    const int start = m->log().lines().size();
    m->ScanHost();
    QTest::qWait(300);
    QCOMPARE(asked, 1);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!m->isScanning());
    QVERIFY(m->scanForm()->isHidden());
    QCOMPARE(m->log().lines().size(), start);
}

void tst_TMainForm::stalledServerKeepsTheWindowAlive_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("rowsKept");
    QTest::newRow("stall after the log-on") << "stall-logon" << 0;
    QTest::newRow("stall in a listing") << "stall-sub" << 2;
    // Every folder holds two new ones, forever, with log lines to match.
    QTest::newRow("endless tree") << "endless-tree-noisy" << -1;
}

// A 50 ms timer on the window's thread never misses more than two ticks in
// a row, and Cancel ends the scan within a second with the rows kept.
void tst_TMainForm::stalledServerKeepsTheWindowAlive()
{
    QFETCH(QString, scenario);
    QFETCH(int, rowsKept);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    cleanup();
    FtpTestServer bad(FtpTestServer::Kind::Scripted);
    QVERIFY(bad.startScripted(scenario));
    startApp(bad.hostText());
    TMainForm *m = m_app->MainForm;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QSet<QString> shownCounts; // what the panel showed stored, as it went
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] {
        longestGap = qMax(longestGap, sinceTick.restart());
        shownCounts.insert(m_app->MainForm->scanForm()->laStored->text());
    });
    sinceTick.start();
    ticker.start(50);
    QSignalSpy ended(m, &TMainForm::scanFinished);
    m->ScanHost();
    QTest::qWait(1500);
    QVERIFY(m->isScanning());
    QElapsedTimer cancel;
    cancel.start();
    m->scanForm()->btnCancel->click();
    QVERIFY(ended.wait(2000));
    QVERIFY2(cancel.elapsed() < 1000, qPrintable(QString::number(cancel.elapsed())));
    QVERIFY2(longestGap <= 150, qPrintable(QString::number(longestGap)));
    if (rowsKept >= 0)
        QCOMPARE(rowCount(), qint64(rowsKept));
    else // the panel moved on at least twice a second
        QVERIFY2(shownCounts.size() >= 3, qPrintable(QStringList(shownCounts.begin(), shownCounts.end()).join('|')));
    QVERIFY(m->lastScan().cancelled);
}

void tst_TMainForm::refusedLogonIsLogged()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    cleanup();
    FtpTestServer bad(FtpTestServer::Kind::Scripted);
    QVERIFY(bad.startScripted("refuse-login"));
    startApp(bad.hostText());
    const int start = m_app->MainForm->log().lines().size();
    QVERIFY(runScan());
    const QStringList lines = linesAfter(start);
    const int refused = lines.indexOf("   Scan stopped: could not log on to " + bad.hostText());
    QVERIFY2(refused > 0, qPrintable(lines.join('\n')));
    QVERIFY(lines.value(refused + 1).startsWith("   Scanning complete."));
    QVERIFY(!m_app->MainForm->lastScan().loggedOn);
    QCOMPARE(m_messages, QStringList{"Host \"" + bad.hostText() + "\" is not available: log-on refused"});
}

// The statement's own rows: a trailing ";" or comment changes nothing.
void tst_TMainForm::recordCountOfTheStatementItself()
{
    QVERIFY(runScan());
    TQueryForm *query = m_app->QueryForm;
    TTabForm *tab = m_app->TabForm;
    for (const QString &sql : {QStringLiteral("SELECT COUNT(*) FROM DB;"), QStringLiteral("SELECT COUNT(*) FROM DB -- all"),
                               QStringLiteral("SELECT * FROM DB WHERE Attr = 16;")}) {
        query->Memo1->setPlainText(sql);
        query->btnExec->click();
        QCOMPARE(tab->panels[1]->text(), sql.contains("Attr") ? QString("4") : QString("1"));
    }
    QVERIFY(m_messages.isEmpty());
}

void tst_TMainForm::writingStatementRefusedDuringAScan()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    cleanup();
    FtpTestServer bad(FtpTestServer::Kind::Scripted);
    QVERIFY(bad.startScripted("stall-sub"));
    startApp(bad.hostText());
    TMainForm *m = m_app->MainForm;
    QSignalSpy ended(m, &TMainForm::scanFinished);
    m->ScanHost();
    QTRY_COMPARE(rowCount(), qint64(2)); // the reading connection sees the scan's commits
    TQueryForm *query = m_app->QueryForm;
    query->Memo1->setPlainText("DELETE FROM DB");
    query->btnExec->click();
    QCOMPARE(m_messages, QStringList{TQueryForm::refusedDuringScan()});
    query->Memo1->setPlainText("SELECT * FROM DB");
    query->btnExec->click();
    QCOMPARE(m_app->TabForm->panels[1]->text(), QString("2"));
    m->scanForm()->btnCancel->click();
    QVERIFY(ended.wait(2000));
    QCOMPARE(rowCount(), qint64(2));
}

void tst_TMainForm::noConnectionStillInUseAtExit()
{
    QVERIFY(runScan());
    m_app->TabForm->btnAllClick();
    g_warnings.clear();
    g_previous = qInstallMessageHandler(keepWarnings);
    m_app->shutDown();
    m_app.reset();
    qInstallMessageHandler(g_previous);
    QVERIFY2(g_warnings.filter("still in use").isEmpty(), qPrintable(g_warnings.join('\n')));
}

QTEST_MAIN(tst_TMainForm)
#include "tst_tmainform.moc"
