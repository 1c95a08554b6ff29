#pragma once
#include "core/scan/ScanView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class ActivityLog;
class ElapsedCounter;
class HostSource;
class TCoolBtn;
class QTimer;

// The panel that covers the browser while a scan runs. Its show and hide
// steps log the scan's start and end and run the scan counter; hiding it
// (Cancel) is how a scan is stopped.
class TScanForm : public QWidget, public ScanView
{
    Q_OBJECT
public:
    TScanForm(ActivityLog &log, ElapsedCounter &timeScan, HostSource &hosts, QWidget *parent = nullptr);

    QProgressBar *pb;
    QLabel *Label5, *Label1, *laHost, *Label2, *laUser, *Label3, *laDir, *Label4, *laRec;
    // Below the box: what this scan has stored, how fast, and where it is.
    QLabel *laStored, *laRate, *laFolder;
    TCoolBtn *btnCancel;

    void showView() override { show(); raise(); }
    void hideView() override { hide(); }
    bool isShown() const override { return !isHidden(); }
    void setProgress(qint64 position) override;
    qint64 progressPosition() const { return m_position; }
    void setCounts(int directories, qint64 records) override;
    void setCurrentFolder(const QString &path) override { m_folder = path; }
    // Shows the latest counts; runs at most every RefreshMs while scanning.
    void refreshProgress();
    static constexpr int RefreshMs = 100;
    void repaintView() override { repaint(); }
    void pumpEvents() override;

    // Runs the steps of a show or hide that happened while the page was behind.
    void syncSteps();

public slots:
    void btnCancelClick() { hide(); }

protected:
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    void FormShow();
    void FormHide();
    QLabel *label(const QString &text, int x, int y);
    void placeProgressLabels();

    ActivityLog &m_log;
    ElapsedCounter &m_timeScan;
    HostSource &m_hosts;
    bool m_stepsShown = false;
    qint64 m_position = 50;
    int m_directories = 0;
    qint64 m_records = 0;
    qint64 m_recordsAtStart = -1; // the first count of this scan
    QString m_folder;
    QElapsedTimer m_sinceStart;
    QTimer *m_refresh;
};
