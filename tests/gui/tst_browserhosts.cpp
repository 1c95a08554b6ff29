#include "FtpTestServer.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/ChangesModel.h"
#include "browse/HostListBox.h"
#include "browse/TChangesForm.h"
#include "browse/TTabForm.h"
#include "core/base/AppPaths.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

// Which host the desktop program browses, against real servers: the host
// list, the host dialog's OK, a failed scan, the title, and the Changes
// window after a rescan.
class tst_BrowserHosts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void hostListSwitchesHosts();
    void okInTheHostDialogBrowsesACataloguedHost();
    void failedScanKeepsTheTree();
    void changesOfARescan();
    void stallShowsWhatTheScanWaitsFor_data();
    void stallShowsWhatTheScanWaitsFor();

private:
    bool startServer(std::unique_ptr<FtpTestServer> &server, const QString &root);
    void startApp(const QString &host);
    bool scan(const QString &host);
    QStringList topFolders() const;
    int hostItem(const QString &host) const;
    QTemporaryDir m_first, m_second;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    std::unique_ptr<FtpTestServer> m_server, m_other;
    QStringList m_messages;
};

void tst_BrowserHosts::initTestCase()
{
    for (const QString &f : QStringList{"readme.txt", "pub/a.txt", "src/c.zip"})
        FtpTestServer::makeFile(m_first.filePath(f), 10);
    for (const QString &f : QStringList{"alpha/x.txt", "beta/y.txt", "gamma/z.txt"})
        FtpTestServer::makeFile(m_second.filePath(f), 10);
}

bool tst_BrowserHosts::startServer(std::unique_ptr<FtpTestServer> &server, const QString &root)
{
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    server = std::make_unique<FtpTestServer>(kind);
    return server->start(root);
}

void tst_BrowserHosts::startApp(const QString &host)
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

void tst_BrowserHosts::init()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Vsftpd) && !FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("no FTP server installed");
    QVERIFY(startServer(m_server, m_first.path()));
    QVERIFY(startServer(m_other, m_second.path()));
    startApp(m_server->hostText());
}

void tst_BrowserHosts::cleanup()
{
    if (m_app)
        m_app->shutDown();
    m_app.reset();
    m_server.reset();
    m_other.reset();
    UiSeam::setMessageHandler(nullptr);
}

bool tst_BrowserHosts::scan(const QString &host)
{
    m_app->SelHost->cbHost->setEditText(host);
    QSignalSpy ended(m_app->MainForm, &TMainForm::scanFinished);
    m_app->MainForm->ScanHost();
    return m_app->MainForm->isScanning() && ended.wait(20000);
}

QStringList tst_BrowserHosts::topFolders() const
{
    QAbstractItemModel *tree = m_app->TabForm->TV->model();
    QStringList names;
    for (int i = 0; i < tree->rowCount(); ++i)
        names << tree->index(i, 0).data().toString();
    return names;
}

int tst_BrowserHosts::hostItem(const QString &host) const
{
    return m_app->TabForm->hostList->findData(host);
}

void tst_BrowserHosts::hostListSwitchesHosts()
{
    const QString first = m_server->hostText(), second = m_other->hostText();
    QVERIFY(scan(first));
    QVERIFY(scan(second));
    QCOMPARE(topFolders(), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(m_app->MainForm->windowTitle(), "Harvex - " + second);
    HostListBox *list = m_app->TabForm->hostList;
    list->refresh();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->currentText(), list->itemText(hostItem(second)));
    // 3 files and 2 folders, 30 bytes, scanned a moment ago.
    const QString line = list->itemText(hostItem(first));
    QVERIFY2(line.startsWith(first + "  (5 entries, 30 B, last scan 20"), qPrintable(line));

    emit list->activated(hostItem(first));
    QCOMPARE(topFolders(), (QStringList{"pub", "src"}));
    QCOMPARE(m_app->MainForm->windowTitle(), "Harvex - " + first);
    QCOMPARE(m_app->TabForm->laHost->text(), first);
    // The next scan is of the host shown.
    QCOMPARE(m_app->SelHost->CurrentHost(), first);
    emit list->activated(hostItem(second));
    QCOMPARE(topFolders(), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(list->currentIndex(), hostItem(second));
    QVERIFY(m_messages.isEmpty());
}

void tst_BrowserHosts::okInTheHostDialogBrowsesACataloguedHost()
{
    const QString first = m_server->hostText(), second = m_other->hostText();
    QVERIFY(scan(second));
    QVERIFY(scan(first));
    TSelHost *dialog = m_app->SelHost;
    // In the catalogue but no longer in the dialog's history.
    dialog->cbHost->removeItem(dialog->cbHost->findText(second));
    QVERIFY(!dialog->history().contains(second));
    dialog->show();
    dialog->cbHost->setEditText(second);
    dialog->btnOk->click();
    QVERIFY(dialog->isHidden());
    QCOMPARE(topFolders(), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(m_app->MainForm->windowTitle(), "Harvex - " + second);
    // A host the catalogue does not hold leaves the tree as it is.
    dialog->show();
    dialog->cbHost->setEditText("nowhere.invalid");
    dialog->btnOk->click();
    QCOMPARE(topFolders(), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(m_app->MainForm->windowTitle(), "Harvex - " + second);
}

void tst_BrowserHosts::failedScanKeepsTheTree()
{
    QVERIFY(scan(m_server->hostText()));
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(FtpTestServer::freePort());
    QVERIFY(scan(closed));
    QCOMPARE(m_messages, QStringList{"Host \"" + closed + "\" is not available: connection refused"});
    QCOMPARE(topFolders(), (QStringList{"pub", "src"}));
    QCOMPARE(m_app->MainForm->windowTitle(), "Harvex - " + m_server->hostText());
    QCOMPARE(m_app->MainForm->browsedHost(), m_server->hostText());
}

void tst_BrowserHosts::changesOfARescan()
{
    QTemporaryDir root;
    for (const QString &f : QStringList{"keep.txt", "grow.txt", "gone.txt", "dir/old.txt"})
        FtpTestServer::makeFile(root.filePath(f), 10);
    std::unique_ptr<FtpTestServer> server;
    QVERIFY(startServer(server, root.path()));
    QVERIFY(scan(server->hostText()));
    FtpTestServer::makeFile(root.filePath("grow.txt"), 25);
    QVERIFY(QFile::remove(root.filePath("gone.txt")));
    FtpTestServer::makeFile(root.filePath("dir/new.txt"), 7);
    QVERIFY(scan(server->hostText()));

    // A double-click on the Log's change line opens the window.
    TMainForm *m = m_app->MainForm;
    m->PageControl1->setCurrentWidget(m->TabLog);
    QTextBlock line = m->Memo1->document()->lastBlock();
    while (line.isValid() && !line.text().startsWith("   Added 1, changed 1, removed 1"))
        line = line.previous();
    QVERIFY2(line.isValid(), qPrintable(m->Memo1->toPlainText()));
    m->Memo1->setTextCursor(QTextCursor(line));
    m->Memo1->ensureCursorVisible();
    const QPoint at = m->Memo1->cursorRect(QTextCursor(line)).center();
    QTest::mouseDClick(m->Memo1->viewport(), Qt::LeftButton, {}, at);
    TChangesForm *form = m->changesForm();
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->host(), server->hostText());
    QAbstractItemModelTester tester(form->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QHash<QString, QStringList> byPath;
    for (int r = 0; r < form->model()->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < form->model()->columnCount(); ++c)
            cells << form->model()->index(r, c).data().toString();
        byPath.insert(cells[ChangesModel::Path], cells);
    }
    QCOMPARE(byPath.size(), 3);
    QCOMPARE(byPath["/grow.txt"].mid(0, 4), (QStringList{"changed", "/grow.txt", "10", "25"}));
    QCOMPARE(byPath["/gone.txt"].mid(0, 4), (QStringList{"removed", "/gone.txt", "10", ""}));
    QCOMPARE(byPath["/dir/new.txt"].mid(0, 4), (QStringList{"added", "/dir/new.txt", "", "7"}));
    QVERIFY(!byPath["/grow.txt"][ChangesModel::NewTime].isEmpty());
    QCOMPARE(form->laSummary->text(), "Last scan of " + server->hostText() + ": 1 added, 1 changed, 1 removed");
    // The menu item shows the browsed host's.
    form->hide();
    m->Changes1->trigger();
    QVERIFY(form->isVisible());
    QCOMPARE(form->model()->rowCount(), 3);
}

void tst_BrowserHosts::stallShowsWhatTheScanWaitsFor_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("line");
    // Every listing below the top starts, then nothing more comes.
    QTest::newRow("a listing") << "stall-sub" << "^Waiting for the listing of /.+: \\d+ s$";
    QTest::newRow("the log-on") << "stall-logon" << "^Waiting for the log-on: \\d+ s$";
}

void tst_BrowserHosts::stallShowsWhatTheScanWaitsFor()
{
    QFETCH(QString, scenario);
    QFETCH(QString, line);
    if (!FtpTestServer::available(FtpTestServer::Kind::Scripted))
        QSKIP("no /usr/bin/python3");
    cleanup();
    FtpTestServer bad(FtpTestServer::Kind::Scripted);
    QVERIFY(bad.startScripted(scenario));
    startApp(bad.hostText());
    TMainForm *m = m_app->MainForm;
    QSignalSpy ended(m, &TMainForm::scanFinished);
    m->ScanHost();
    QLabel *folder = m->scanForm()->laFolder;
    const QRegularExpression waiting(line);
    QTRY_VERIFY2_WITH_TIMEOUT(waiting.match(folder->toolTip()).hasMatch(), qPrintable(folder->toolTip()), 10000);
    // The seconds go on counting.
    const QString before = folder->toolTip();
    QTRY_VERIFY_WITH_TIMEOUT(folder->toolTip() != before, 3000);
    m->scanForm()->btnCancel->click();
    QVERIFY(ended.wait(5000));
}

QTEST_MAIN(tst_BrowserHosts)
#include "tst_browserhosts.moc"
