#pragma once
#include <QString>
#include <QtGlobal>

// What the walk needs of the scan window: the labels and the progress bar.
// Its Cancel reaches the walk as HostScanner::cancel().
class ScanView
{
public:
    virtual ~ScanView() = default;
    virtual void showView() = 0;
    virtual void hideView() = 0;
    // Unclamped: a value above the maximum shows as a full bar.
    virtual void setProgress(qint64 position) = 0;
    virtual int progressMaximum() const { return 100; }
    virtual void setCounts(int directories, qint64 records) = 0;
    // The folder being listed, as the log names it ("/pub/docs").
    virtual void setCurrentFolder(const QString &path) { Q_UNUSED(path); }
    // Repaint, then let pending events run (timers, Cancel).
    virtual void repaintView() = 0;
    virtual void pumpEvents() = 0;
};
