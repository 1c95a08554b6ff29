#include "CommitPacing.h"

CommitPacing::CommitPacing(std::function<void()> commit)
    : m_commit(std::move(commit))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { onTimer(); });
}

void CommitPacing::begun()
{
    m_sinceCommit.restart();
    m_timer.start(CommitTimerMs);
}

void CommitPacing::stop()
{
    m_timer.stop();
    m_pending = 0;
}

void CommitPacing::committed(qint64 tookMs)
{
    m_lastCommitMs = tookMs;
    m_sinceCommit.restart();
}

qint64 CommitPacing::commitAfterMs() const
{
    return qMax<qint64>(CommitAfterMs, CommitCostFactor * m_lastCommitMs);
}

void CommitPacing::onTimer()
{
    // The timer's margin, as at the start.
    const qint64 left = commitAfterMs() - m_sinceCommit.elapsed();
    if (left > CommitAfterMs - CommitTimerMs) {
        m_timer.start(int(left - (CommitAfterMs - CommitTimerMs)));
        return;
    }
    m_commit();
}
