#include "TMainForm.h"
#include "core/base/AppPaths.h"
#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/Catalogue.h"
#include "core/scan/ScanWorker.h"
#include "core/base/IniFile.h"
#include "ftp/GuiTrustPrompt.h"
#include "core/scan/ScanSetup.h"
#include "core/catalogue/LineageWalk.h"
#include "BrowserFinds.h"
#include "BrowserHosts.h"
#include "LogPage.h"
#include "browse/HostListBox.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TAbout.h"
#include "TOptionsForm.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>

TMainForm::TMainForm()
{
    setWindowTitle(QStringLiteral("Harvex"));
    setGeometry(190, 104, 488, 344);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    buildMenu();
    buildPages();
    buildStatusBar();
    wireLog();
    UiSeam::setParentWindow(this);
}

// The worker is stopped before the window goes: a scan under way is
// cancelled and its connection aborted, keeping what was stored.
TMainForm::~TMainForm()
{
    if (m_worker)
        m_worker->cancel();
    m_thread.quit();
    m_thread.wait();
}

void TMainForm::buildMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    SelectHost1 = file->addAction(QStringLiteral("&Select Host"));
    SelectHost1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    ScanHost1 = file->addAction(QStringLiteral("S&can Host"), this, &TMainForm::ScanHost1Click);
    ScanHost1->setShortcut(QKeySequence(Qt::Key_F5));
    RescanDue1 = file->addAction(QStringLiteral("Rescan &Due Hosts"), this, &TMainForm::RescanDueHosts);
    file->addSeparator();
    Connectto1 = file->addAction(QStringLiteral("C&onnect to FTP"), this, &TMainForm::Connectto1Click);
    Disconnect1 = file->addAction(QStringLiteral("&Disconnect"), this, &TMainForm::Disconnect1Click);
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    buildDataMenu();
    QMenu *config = menuBar()->addMenu(QStringLiteral("&Config"));
    Options1 = config->addAction(QStringLiteral("&Options"));
    config->addSeparator();
    SavePosition1 = config->addAction(QStringLiteral("Save &Position"));
    SavePosition1->setCheckable(true);
    SavePosition1->setChecked(true);
    ShowHost1 = config->addAction(QStringLiteral("Show &Host"), this, &TMainForm::ShowHost1Click);
    ShowHost1->setCheckable(true);
    ShowHost1->setChecked(true);
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    Help1 = help->addAction(QStringLiteral("&Help"));
    help->addSeparator();
    About1 = help->addAction(QStringLiteral("&About"));
}

// The browser's toolbar commands, with their keys; wired once the browser exists.
void TMainForm::buildDataMenu()
{
    QMenu *data = menuBar()->addMenu(QStringLiteral("&Data Base"));
    AllRecords1 = data->addAction(QStringLiteral("&All Records"));
    AllRecords1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    Find1 = data->addAction(QStringLiteral("&Find"));
    Find1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    Query1 = data->addAction(QStringLiteral("&Query"));
    Query1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    data->addSeparator();
    FindDuplicates1 = data->addAction(QStringLiteral("Find &Duplicates"));
    ExportCsv1 = data->addAction(QStringLiteral("&Export Results as CSV..."));
    ExportUrls1 = data->addAction(QStringLiteral("Export Results as &URL List..."));
    data->addSeparator();
    Statistics1 = data->addAction(QStringLiteral("&Statistics"));
    Changes1 = data->addAction(QStringLiteral("C&hanges"));
}

void TMainForm::buildPages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setTabPosition(QTabWidget::South);
    TabDB = new QWidget;
    TabDwl = new QWidget;
    TabLog = new QWidget;
    PageControl1->addTab(TabDB, QStringLiteral("Data Base"));
    PageControl1->addTab(TabDwl, QStringLiteral("Downloads"));
    PageControl1->addTab(TabLog, QStringLiteral("Log"));
    new QGridLayout(TabDB);
    TabDB->layout()->setContentsMargins(0, 0, 0, 0);
    auto *logLayout = new QGridLayout(TabLog);
    logLayout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(TabLog);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logLayout->addWidget(Memo1);
    setCentralWidget(PageControl1);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (PageControl1->widget(index) == TabLog)
            TabLogShow();
    });
}

void TMainForm::buildStatusBar()
{
    const int widths[4] = {25, 80, 50, 50};
    const char *texts[4] = {"Size", "", "Path", ""};
    for (int i = 0; i < 4; ++i) {
        StatusBar1[i] = new QLabel(QString::fromLatin1(texts[i]), statusBar());
        StatusBar1[i]->setMinimumWidth(widths[i]);
        StatusBar1[i]->setAlignment(i == 3 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        if (i % 2 == 1)
            StatusBar1[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(StatusBar1[i], i == 3 ? 1 : 0);
    }
}

// A double-click on a scan's change line shows what it changed.
void TMainForm::wireLog()
{
    connect(new LogPage(m_log, Memo1, this), &LogPage::changesAsked, this,
            [this](const QString &host) { showChanges(host.isEmpty() ? browsedHost() : host); });
}

void TMainForm::attachForms(TSelHost *selHost, TAbout *about, TSeekForm *seek, TQueryForm *query, TScanForm *scan)
{
    m_selHost = selHost;
    m_about = about;
    m_seek = seek;
    m_query = query;
    m_scan = scan;
    connect(SelectHost1, &QAction::triggered, selHost, &QWidget::show);
    connect(About1, &QAction::triggered, about, &QWidget::show);
}

// The catalogue is written by one scan at a time: names are decoded again
// once a running scan has ended.
void TMainForm::attachOptions(TOptionsForm *options)
{
    connect(Options1, &QAction::triggered, options, &QWidget::show);
    connect(options, &TOptionsForm::codePagesChanged, this, [this] {
        const auto recode = [this] {
            if (!m_hosts)
                return;
            m_hosts->recodeNames();
            m_browser->BuildFolderTree();
        };
        if (m_scanning)
            connect(this, &TMainForm::scanFinished, this, recode, Qt::SingleShotConnection);
        else
            recode();
    });
}

void TMainForm::attachBrowser(TTabForm *browser, Catalogue &catalogue, IniFile *settings)
{
    m_browser = browser;
    m_catalogue = &catalogue;
    m_settings = settings;
    connect(browser, &TTabForm::recordChosen, this, &TMainForm::ShowRecordSummary);
    browser->setShowHostChecked([this] { return ShowHost1->isChecked(); });
    startWorker(settings);
    connect(browser, &TTabForm::hostButtonClicked, m_selHost, &QWidget::show);
    connect(browser, &TTabForm::scanButtonClicked, this, &TMainForm::ScanHost);
    connect(browser, &TTabForm::findButtonClicked, m_seek, &QWidget::show);
    connect(browser, &TTabForm::queryButtonClicked, m_query, &QWidget::show);
    connect(AllRecords1, &QAction::triggered, browser, &TTabForm::btnAllClick);
    connect(Find1, &QAction::triggered, m_seek, &QWidget::show);
    connect(Query1, &QAction::triggered, m_query, &QWidget::show);
    connect(Statistics1, &QAction::triggered, browser, &TTabForm::showStatistics);
    wireHosts();
    wireFinds();
}

void TMainForm::wireFinds()
{
    m_finds = new BrowserFinds(*this, *m_browser, *m_seek, *m_catalogue, m_settings);
    connect(FindDuplicates1, &QAction::triggered, m_finds, &BrowserFinds::showDuplicates);
    connect(ExportCsv1, &QAction::triggered, m_finds, [this] { m_finds->exportResults(SearchExport::Format::Csv); });
    connect(ExportUrls1, &QAction::triggered, m_finds, [this] { m_finds->exportResults(SearchExport::Format::Urls); });
}

void TMainForm::wireHosts()
{
    m_hosts = new BrowserHosts(*this, *m_browser, *m_selHost, *m_catalogue, m_settings);
    connect(Changes1, &QAction::triggered, this, [this] { m_hosts->showChanges(m_hosts->browsed()); });
}

QString TMainForm::browsedHost() const
{
    return m_hosts ? m_hosts->browsed() : QString();
}

void TMainForm::showChanges(const QString &host)
{
    if (m_hosts)
        m_hosts->showChanges(host);
}

TChangesForm *TMainForm::changesForm() const
{
    return m_hosts ? m_hosts->changesForm() : nullptr;
}

void TMainForm::startWorker(IniFile *settings)
{
    const QString catalogue = settings ? CatalogueAddress::chosen(*settings, AppPaths::catalogueDir()) : AppPaths::catalogueDir();
    m_worker = new ScanWorker(catalogue, settings ? settings->path() : AppPaths::settingsFile());
    static GuiTrustPrompt trustPrompt; // holds nothing: one for the program
    m_worker->setTrustPrompt(&trustPrompt);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    wireWorker();
    m_thread.start();
}

// Every report crosses to this thread queued: the worker never waits for the window.
void TMainForm::wireWorker()
{
    const auto queued = Qt::QueuedConnection;
    connect(m_worker, &ScanWorker::logLinesWaiting, this, [this] { m_worker->deliverLog(m_log); }, queued);
    // What logs a line here takes the worker's waiting lines first, so the log keeps the order things happened in.
    connect(m_worker, &ScanWorker::message, this, [this](const QString &t) {
        m_worker->deliverLog(m_log);
        m_messages.showMessage(t);
    }, queued);
    connect(m_worker, &ScanWorker::walkStarted, this, [this] {
        m_worker->deliverLog(m_log);
        m_scan->walkStarted();
    }, queued);
    connect(m_worker, &ScanWorker::progress, m_scan, &TScanForm::setProgress, queued);
    connect(m_worker, &ScanWorker::counts, m_scan, &TScanForm::setCounts, queued);
    connect(m_worker, &ScanWorker::currentFolder, m_scan, &TScanForm::setCurrentFolder, queued);
    connect(m_worker, &ScanWorker::scanEnded, this, &TMainForm::scanEnded, queued);
    connect(m_worker, &ScanWorker::connectEnded, this, &TMainForm::connectEnded, queued);
    connect(m_scan, &TScanForm::cancelRequested, this, [this] { m_worker->cancel(); });
    connect(m_scan, &TScanForm::resumeChosen, this, &TMainForm::startScan);
}

void TMainForm::LoadSettings(IniFile *settings)
{
    ShowHost1->setChecked(settings->readBool("FORM", "Show Host", ShowHost1->isChecked()));
    SavePosition1->setChecked(settings->readBool("FORM", "Save Window Position", SavePosition1->isChecked()));
    if (!SavePosition1->isChecked())
        return;
    const QRect g = geometry();
    setGeometry(settings->readInt("FORM", "Left", g.x()), settings->readInt("FORM", "Top", g.y()),
                settings->readInt("FORM", "Width", g.width()), settings->readInt("FORM", "Height", g.height()));
}

void TMainForm::SaveSettings(IniFile *settings)
{
    settings->writeBool("FORM", "Save Window Position", SavePosition1->isChecked());
    settings->writeBool("FORM", "Show Host", ShowHost1->isChecked());
    if (!SavePosition1->isChecked())
        return;
    settings->writeInt("FORM", "Top", geometry().y());
    settings->writeInt("FORM", "Left", geometry().x());
    settings->writeInt("FORM", "Width", geometry().width());
    settings->writeInt("FORM", "Height", geometry().height());
}

void TMainForm::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QMainWindow::changeEvent(e);
}

// The browser and the scan panel share the "Data Base" page; the panel, when
// shown, lies on top.
void TMainForm::FormActivate()
{
    auto *grid = static_cast<QGridLayout *>(TabDB->layout());
    if (m_browser && grid->indexOf(m_browser) < 0) {
        grid->addWidget(m_browser, 0, 0);
        m_browser->show();
    }
    if (m_scan && grid->indexOf(m_scan) < 0) {
        const bool shown = !m_scan->isHidden();
        grid->addWidget(m_scan, 0, 0);
        m_scan->setVisible(shown);
    }
    if (m_scan)
        m_scan->raise();
    PageControl1->setCurrentWidget(TabDB);
}

void TMainForm::TabLogShow()
{
    QTextCursor c = Memo1->textCursor();
    c.movePosition(QTextCursor::End);
    c.movePosition(QTextCursor::StartOfBlock);
    Memo1->setTextCursor(c);
    Memo1->ensureCursorVisible();
}

void TMainForm::ShowHost1Click()
{
    if (m_browser)
        m_browser->laHost->setVisible(ShowHost1->isChecked());
}

QString TMainForm::hostForWork()
{
    const QString host = m_selHost ? m_selHost->CurrentHost() : QString();
    if (host.isEmpty())
        m_messages.showMessage(QStringLiteral("No host selected: name one under File > Select Host"));
    return host;
}

void TMainForm::ConnectToHost()
{
    m_workHost = hostForWork();
    if (m_workHost.isEmpty())
        return;
    const QString user = m_selHost->CurrentUser();
    const QString password = m_selHost->CurrentPassword();
    QMetaObject::invokeMethod(m_worker, [w = m_worker, host = m_workHost, user, password] {
        w->connectToHost(host, user, password);
    });
}

void TMainForm::CloseConnection()
{
    if (!m_worker)
        return;
    m_worker->cancel(); // a log-on still under way gives up
    m_connected = false;
    QMetaObject::invokeMethod(m_worker, &ScanWorker::closeConnection);
}

void TMainForm::Connectto1Click()
{
    if (m_scanning || !m_worker)
        return;
    ConnectToHost();
}

void TMainForm::connectEnded(bool connected)
{
    m_worker->deliverLog(m_log);
    m_connected = connected;
    if (connected)
        m_selHost->markReached(m_workHost);
    emit connectFinished(connected);
}

// During a scan the walk owns the connection: Disconnect cancels the scan,
// which then closes the connection itself.
void TMainForm::Disconnect1Click()
{
    if (m_scanning) {
        m_scan->hide();
        return;
    }
    CloseConnection();
}

void TMainForm::setScanning(bool on)
{
    m_scanning = on;
    ScanHost1->setEnabled(!on);
    RescanDue1->setEnabled(!on);
    Connectto1->setEnabled(!on);
    if (m_browser)
        m_browser->btnScan->setEnabled(!on);
    if (m_query)
        m_query->setScanRunning(on);
}

// The host is read once, here; the panel shows at once, before the log-on.
void TMainForm::ScanHost()
{
    if (!m_worker || m_scanning)
        return;
    m_workHost = hostForWork();
    if (m_workHost.isEmpty())
        return;
    if (const qint64 left = m_hosts ? m_hosts->foldersLeft(m_workHost) : 0; left > 0)
        m_scan->offerResume(m_workHost, m_selHost->CurrentUser(), left);
    else
        startScan(true);
}

void TMainForm::startScan(bool resume)
{
    startScanOf(m_selHost->CurrentUser(), m_selHost->CurrentPassword(), resume);
}

// A running scan is never started twice: the due hosts wait for its end.
void TMainForm::RescanDueHosts()
{
    if (m_worker && !m_scanning && !m_due.isRunning() && m_catalogue && m_settings)
        m_due.start(*m_catalogue, *m_settings);
}

void TMainForm::startScanOf(const QString &user, const QString &password, bool resume)
{
    if (m_scanning)
        return;
    m_connected = false;
    m_worker->prepareScan();
    setScanning(true);
    m_scan->beginScan(m_workHost, user);
    QMetaObject::invokeMethod(m_worker, [w = m_worker, host = m_workHost, user, password, resume] {
        w->scan(host, user, password, resume);
    });
}

void TMainForm::scanEnded(const HostScanner::Stats &stats)
{
    m_lastScan = stats;
    m_worker->deliverLog(m_log); // the scan's last lines come before the scan-time line
    m_scan->endScan();
    for (const QString &line : stats.closingLines)
        m_log.LogLine(line, false);
    setScanning(false);
    if (stats.loggedOn)
        m_selHost->markReached(m_workHost);
    // A scan that never logged on changed nothing: the views shown stay.
    if (m_browser && stats.loggedOn)
        m_browser->refreshViews();
    if (m_browser)
        m_browser->hostList->refresh();
    emit scanFinished();
    if (m_closeAfterScan)
        close();
    else
        m_due.next(stats.cancelled);
}

void TMainForm::ShowRecordSummary(qint32 id)
{
    try {
        const LineageWalk::Summary s = LineageWalk(*m_catalogue).recordSummary(id);
        StatusBar1[3]->setText(s.path);
        StatusBar1[1]->setText(s.size);
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
}

// Exit during a scan cancels it first; the window closes once the walk has
// closed its connection.
void TMainForm::closeEvent(QCloseEvent *e)
{
    if (m_scanning) {
        m_closeAfterScan = true;
        m_scan->hide();
        e->ignore();
        return;
    }
    CloseConnection();
    e->accept();
}
