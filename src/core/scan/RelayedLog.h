#pragma once
#include "core/base/ActivityLog.h"

#include <QList>
#include <QMutex>

// A log that keeps nothing of its own: a scan's lines wait here until the
// window's thread takes them, all at once, into the window's log, which
// stamps them with its clock. One signal per batch: a signal per line
// queued 67,000 lines on the window's thread during an endless tree, which
// then took minutes to hear that the scan had ended.
class RelayedLog : public ActivityLog
{
    Q_OBJECT
public:
    using ActivityLog::ActivityLog;

    void LogLine(const QString &text, bool stamped) override
    {
        {
            QMutexLocker lock(&m_mutex);
            // The window keeps MaxLines: older waiting lines would only be dropped there.
            if (m_waiting.size() >= MaxLines) {
                m_waiting.removeFirst();
                ++m_leftOut;
            }
            m_waiting.append({text, stamped});
            if (m_signalled)
                return;
            m_signalled = true;
        }
        emit linesWaiting();
    }

    // Any thread: the waiting lines go to log in order, after a line saying
    // how many came too fast to keep.
    void deliverTo(ActivityLog &log)
    {
        QList<Waiting> lines;
        qint64 leftOut = 0;
        {
            QMutexLocker lock(&m_mutex);
            lines.swap(m_waiting);
            std::swap(leftOut, m_leftOut);
            m_signalled = false;
        }
        if (leftOut > 0)
            log.LogLine(QStringLiteral("   (%1 more log lines came faster than the log could keep)").arg(leftOut), false);
        for (const Waiting &w : std::as_const(lines))
            log.LogLine(w.text, w.stamped);
    }

signals:
    // Lines wait and none was signalled since the last deliverTo().
    void linesWaiting();

private:
    struct Waiting
    {
        QString text;
        bool stamped = false;
    };
    QMutex m_mutex;
    QList<Waiting> m_waiting;
    qint64 m_leftOut = 0;
    bool m_signalled = false;
};
