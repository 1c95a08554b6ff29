#pragma once
#include "DueRescans.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/HostScanner.h"
#include "widgets/GuiMessages.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QThread>

class Catalogue;
class IniFile;
class ScanWorker;
class BrowserFinds;
class BrowserHosts;
class TAbout;
class TOptionsForm;
class TChangesForm;
class TQueryForm;
class TScanForm;
class TSeekForm;
class TSelHost;
class TTabForm;

// The main window: menu, the three pages, the status bar, the activity log
// and its counters. The program's one FTP connection, its scans and the
// catalogue's writer live on a worker thread; the window asks it for work
// and shows what it reports, so it never waits on the network.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    TMainForm();
    ~TMainForm() override;

    QTabWidget *PageControl1;
    QWidget *TabDB, *TabDwl, *TabLog;
    QPlainTextEdit *Memo1;
    QLabel *StatusBar1[4];
    QAction *SelectHost1, *ScanHost1, *RescanDue1, *Connectto1, *Disconnect1, *Exit1;
    QAction *Options1, *SavePosition1, *ShowHost1, *Help1, *About1;
    QAction *AllRecords1, *Find1, *Query1, *Statistics1, *Changes1;
    QAction *FindDuplicates1, *ExportCsv1, *ExportUrls1;
    ElapsedCounter TimeRun, TimeConnect, TimeScan;

    ActivityLog &log() { return m_log; }
    void LogLine(const QString &text, bool stamped) { m_log.LogLine(text, stamped); }

    void attachForms(TSelHost *selHost, TAbout *about, TSeekForm *seek, TQueryForm *query, TScanForm *scan);
    // The browser and the catalogue it reads, the application's; the scans
    // write through a catalogue of their own on the worker.
    void attachBrowser(TTabForm *browser, Catalogue &catalogue, IniFile *settings);
    // Config > Options; a code page changed there decodes the stored names again.
    void attachOptions(TOptionsForm *options);
    TScanForm *scanForm() const { return m_scan; }
    BrowserFinds *finds() const { return m_finds; }
    ScanWorker *worker() const { return m_worker; }
    bool isScanning() const { return m_scanning; }
    bool isConnected() const { return m_connected; }
    // What the last scan found, once it has ended.
    HostScanner::Stats lastScan() const { return m_lastScan; }

    void LoadSettings(IniFile *settings);
    void SaveSettings(IniFile *settings);

    void ConnectToHost();
    void CloseConnection();
    void ScanHost();
    void RescanDueHosts();
    // The scan ScanHost() asked for, carrying on from where the host's last
    // scan stopped, or from the top.
    void startScan(bool resume);
    void startScanOf(const QString &user, const QString &password, bool resume);
    void ShowRecordSummary(qint32 id);
    void FormActivate();
    // What the last scan of host changed, in the Changes window.
    void showChanges(const QString &host);
    TChangesForm *changesForm() const;
    // The host whose tree the browser shows.
    QString browsedHost() const;

signals:
    void scanFinished();
    void connectFinished(bool connected);

public slots:
    void Connectto1Click();
    void Disconnect1Click();
    void ScanHost1Click() { ScanHost(); }
    void ShowHost1Click();
    void TabLogShow();

protected:
    void changeEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenu();
    void buildDataMenu();
    void buildPages();
    void buildStatusBar();
    void wireLog();
    void wireHosts();
    void wireFinds();
    void setScanning(bool on);
    void startWorker(IniFile *settings);
    void wireWorker();
    void scanEnded(const HostScanner::Stats &stats);
    void connectEnded(bool connected);
    // The host as the dialog gives it, read once; empty (after one message) when none is named.
    QString hostForWork();
    // Folders an interrupted scan of host left in the catalogue.

    ActivityLog m_log;
    GuiMessages m_messages;
    TSelHost *m_selHost = nullptr;
    TAbout *m_about = nullptr;
    TSeekForm *m_seek = nullptr;
    TQueryForm *m_query = nullptr;
    TScanForm *m_scan = nullptr;
    TTabForm *m_browser = nullptr;
    Catalogue *m_catalogue = nullptr;
    IniFile *m_settings = nullptr;
    BrowserHosts *m_hosts = nullptr; // a child
    BrowserFinds *m_finds = nullptr; // a child
    QThread m_thread;
    ScanWorker *m_worker = nullptr; // lives on m_thread, deleted when it ends
    bool m_scanning = false;
    bool m_connected = false;
    QString m_workHost;
    DueRescans m_due{[this](const QString &host, const QString &user, const QString &password) {
        m_workHost = host;
        startScanOf(user, password, true);
    }};
    HostScanner::Stats m_lastScan;
    bool m_closeAfterScan = false;
};
