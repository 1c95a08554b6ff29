#pragma once
#include "ScanView.h"

#include <QElapsedTimer>

class ActivityLog;

// The view of one scan among several at once: no live progress (their
// lines would mix), only the start and end lines of the activity log.
class BatchView : public ScanView
{
public:
    BatchView(ActivityLog &log, const QString &host) : m_log(log), m_host(host) {}
    void showView() override;
    void hideView() override;
    void setProgress(qint64) override {}
    void setCounts(int, qint64) override {}
    void repaintView() override {}
    void pumpEvents() override;

private:
    ActivityLog &m_log;
    QString m_host;
    bool m_shown = false;
    QElapsedTimer m_elapsed;
};
