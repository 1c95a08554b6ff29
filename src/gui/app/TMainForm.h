#pragma once
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "widgets/GuiMessages.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <memory>

class FtpConnection;
class HostScanner;
class IniFile;
class TAbout;
class TQueryForm;
class TScanForm;
class TSeekForm;
class TSelHost;
class TTabForm;

// The main window: menu, the three pages, the status bar, the activity log
// and its counters, and the program's one FTP connection.
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
    QAction *SelectHost1, *ScanHost1, *Connectto1, *Disconnect1, *Exit1;
    QAction *Options1, *SavePosition1, *ShowHost1, *Help1, *About1;
    ElapsedCounter TimeRun, TimeConnect, TimeScan;

    ActivityLog &log() { return m_log; }
    void LogLine(const QString &text, bool stamped) { m_log.LogLine(text, stamped); }

    void attachForms(TSelHost *selHost, TAbout *about, TSeekForm *seek, TQueryForm *query, TScanForm *scan);
    void attachBrowser(TTabForm *browser, IniFile *settings);
    TScanForm *scanForm() const { return m_scan; }
    HostScanner *scanner() const { return m_scanner.get(); }
    FtpConnection *connection() const { return m_ftp.get(); }

    void LoadSettings(IniFile *settings);
    void SaveSettings(IniFile *settings);

    void ConnectToHost();
    void CloseConnection();
    void ScanHost();
    void ShowRecordSummary(qint32 id);
    void FormActivate();

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
    void recodeNames(IniFile *settings);
    void buildMenu();
    void buildPages();
    void buildStatusBar();
    void wireLog();
    void setScanning(bool on);

    ActivityLog m_log;
    GuiMessages m_messages;
    TSelHost *m_selHost = nullptr;
    TAbout *m_about = nullptr;
    TSeekForm *m_seek = nullptr;
    TQueryForm *m_query = nullptr;
    TScanForm *m_scan = nullptr;
    TTabForm *m_browser = nullptr;
    std::unique_ptr<FtpConnection> m_ftp;
    std::unique_ptr<HostScanner> m_scanner;
    bool m_closeAfterScan = false;
};
