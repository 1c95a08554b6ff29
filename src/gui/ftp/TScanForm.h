#pragma once
#include "core/scan/ScanView.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class ActivityLog;
class ElapsedCounter;
class HostSource;
class TCoolBtn;

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
    TCoolBtn *btnCancel;

    void showView() override { show(); raise(); }
    void hideView() override { hide(); }
    bool isShown() const override { return !isHidden(); }
    void setProgress(qint64 position) override;
    qint64 progressPosition() const { return m_position; }
    void setCounts(int directories, qint64 records) override;
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

    ActivityLog &m_log;
    ElapsedCounter &m_timeScan;
    HostSource &m_hosts;
    bool m_stepsShown = false;
    qint64 m_position = 50;
};
