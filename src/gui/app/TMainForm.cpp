#include "TMainForm.h"
#include "core/catalogue/CatalogueError.h"
#include "core/scan/FtpConnection.h"
#include "core/scan/HostScanner.h"
#include "core/base/IniFile.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/LineageWalk.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TAbout.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
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

TMainForm::~TMainForm() = default;

void TMainForm::buildMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    SelectHost1 = file->addAction(QStringLiteral("Select Host"));
    ScanHost1 = file->addAction(QStringLiteral("Scan Host"), this, &TMainForm::ScanHost1Click);
    file->addSeparator();
    Connectto1 = file->addAction(QStringLiteral("Connect to FTP"), this, &TMainForm::Connectto1Click);
    Disconnect1 = file->addAction(QStringLiteral("Disconnect"), this, &TMainForm::Disconnect1Click);
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("Exit"), this, &QWidget::close);
    QMenu *config = menuBar()->addMenu(QStringLiteral("Config"));
    Options1 = config->addAction(QStringLiteral("Options"));
    config->addSeparator();
    SavePosition1 = config->addAction(QStringLiteral("Save Position"));
    SavePosition1->setCheckable(true);
    SavePosition1->setChecked(true);
    ShowHost1 = config->addAction(QStringLiteral("Show Host"), this, &TMainForm::ShowHost1Click);
    ShowHost1->setCheckable(true);
    ShowHost1->setChecked(true);
    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    Help1 = help->addAction(QStringLiteral("Help"));
    help->addSeparator();
    About1 = help->addAction(QStringLiteral("About"));
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
        if (PageControl1->widget(index) == TabDB && m_scan)
            m_scan->syncSteps();
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

// The "Log" page shows the log's lines as they come and go.
void TMainForm::wireLog()
{
    connect(&m_log, &ActivityLog::lineAdded, Memo1, &QPlainTextEdit::appendPlainText);
    connect(&m_log, &ActivityLog::firstLineRemoved, this, [this] {
        QTextCursor c(Memo1->document()->firstBlock());
        c.select(QTextCursor::BlockUnderCursor);
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    });
    connect(&m_log, &ActivityLog::linesReplaced, this, [this] { Memo1->setPlainText(m_log.lines().join(u'\n')); });
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

void TMainForm::attachBrowser(TTabForm *browser, IniFile *settings)
{
    m_browser = browser;
    connect(browser, &TTabForm::recordChosen, this, &TMainForm::ShowRecordSummary);
    browser->setShowHostChecked([this] { return ShowHost1->isChecked(); });
    m_ftp = std::make_unique<FtpConnection>(m_log, TimeConnect, *m_selHost, m_messages);
    m_ftp->setSettings(settings);
    m_scanner = std::make_unique<HostScanner>(*m_ftp, browser->Tab(), m_log, *m_selHost, m_messages, *m_scan);
    m_scanner->setAfterScan([browser] { browser->BuildFolderTree(nullptr); });
    recodeNames(settings);
    connect(browser, &TTabForm::hostButtonClicked, m_selHost, &QWidget::show);
    connect(browser, &TTabForm::scanButtonClicked, this, &TMainForm::ScanHost);
    connect(browser, &TTabForm::findButtonClicked, m_seek, &QWidget::show);
    connect(browser, &TTabForm::queryButtonClicked, m_query, &QWidget::show);
}

// Names stored while a host's [ENCODING] said otherwise are decoded again
// from their listed bytes, before the browser shows them.
void TMainForm::recodeNames(IniFile *settings)
{
    if (!settings)
        return;
    try {
        ExactNames::recodeChangedHosts(m_browser->Tab(), [settings](const QString &host) {
            return FtpConnection::codePageFor(*settings, host);
        });
    } catch (const CatalogueError &e) {
        m_messages.showMessage(e.message());
    }
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

void TMainForm::ConnectToHost()
{
    m_ftp->ConnectToHost();
}

void TMainForm::CloseConnection()
{
    if (m_ftp)
        m_ftp->CloseConnection();
}

void TMainForm::Connectto1Click()
{
    CloseConnection();
    ConnectToHost();
}

// During a scan the walk owns the connection: Disconnect cancels the scan,
// which then closes the connection itself.
void TMainForm::Disconnect1Click()
{
    if (m_scanner && m_scanner->isRunning()) {
        m_scan->hide();
        return;
    }
    CloseConnection();
}

void TMainForm::setScanning(bool on)
{
    ScanHost1->setEnabled(!on);
    Connectto1->setEnabled(!on);
    if (m_browser)
        m_browser->btnScan->setEnabled(!on);
}

void TMainForm::ScanHost()
{
    if (!m_scanner || m_scanner->isRunning())
        return;
    setScanning(true);
    m_scanner->ScanHost();
    setScanning(false);
    if (m_closeAfterScan)
        close();
}

void TMainForm::ShowRecordSummary(qint32 id)
{
    try {
        const LineageWalk::Summary s = LineageWalk(m_browser->Tab()).recordSummary(id);
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
    if (m_scanner && m_scanner->isRunning()) {
        m_closeAfterScan = true;
        m_scan->hide();
        e->ignore();
        return;
    }
    CloseConnection();
    e->accept();
}
