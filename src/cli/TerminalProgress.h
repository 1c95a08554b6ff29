#pragma once
#include "core/scan/ScanView.h"

#include <QElapsedTimer>
#include <atomic>

class ActivityLog;
class HostSource;

// The scan's one-line live progress on standard error, drawn only when that
// is a terminal, and the scan's start and end lines of the activity log.
// Ctrl-C or SIGTERM is the Cancel button: the connection gives up its wait
// at once and the walk closes as after Cancel, keeping what it stored.
class TerminalProgress : public ScanView
{
public:
    TerminalProgress(ActivityLog &log, HostSource &hosts);

    void showView() override;
    void hideView() override;
    // Interrupted (Ctrl-C, or a timer's SIGTERM) stores true in *cancel.
    static void cancelOnSignals(std::atomic_bool *cancel);
    static bool interrupted();
    // The signals end the program again, and no interruption is remembered.
    static void releaseSignals();
    void setProgress(qint64) override {}
    void setCounts(int directories, qint64 records) override;
    void repaintView() override;
    void pumpEvents() override;

private:
    ActivityLog &m_log;
    HostSource &m_hosts;
    bool m_tty = false;
    bool m_shown = false;
    int m_dirs = 0;
    qint64 m_records = 0;
    qint64 m_initial = -1;
    QElapsedTimer m_elapsed;
    QElapsedTimer m_lastDraw;
};
