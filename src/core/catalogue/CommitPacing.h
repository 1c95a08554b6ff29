#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// When the catalogue's write transaction is committed: after a quarter
// second (or, once commits grow slow on a large catalogue, four times as long
// as the last commit took), or when CommitEvery changes have gathered. A
// timer on the writing thread says so even while that thread waits on the
// network: create and use the object on one thread.
// Each commit rewrites every page of the random ID index it touched; past a
// few million rows a commit touches most of them, whatever its size, and
// takes a second or more. Commits paced by their own cost keep that to a
// fifth of the storing time: measured over 2,000,000 entries, a quarter of
// the processor time, and two thirds of the kernel time, went.
class CommitPacing
{
public:
    static constexpr int CommitEvery = 500000;
    static constexpr int CommitAfterMs = 250;
    static constexpr int CommitCostFactor = 4;
    // The timer's margin: a thread that waits on the network runs its timers
    // every 50 ms.
    static constexpr int CommitTimerMs = 190;

    // commit: called by the timer once a commit is due.
    explicit CommitPacing(std::function<void()> commit);
    CommitPacing(const CommitPacing &) = delete;
    CommitPacing &operator=(const CommitPacing &) = delete;

    // The catalogue was opened: the clock starts.
    void start() { m_sinceCommit.start(); }
    // A transaction was begun.
    void begun();
    void count() { ++m_pending; }
    bool due() const { return m_pending >= CommitEvery || m_sinceCommit.elapsed() >= commitAfterMs(); }
    // The transaction ends, committed or not: nothing is pending.
    void stop();
    void committed(qint64 tookMs);

private:
    qint64 commitAfterMs() const;
    void onTimer();

    std::function<void()> m_commit;
    QTimer m_timer;
    QElapsedTimer m_sinceCommit;
    qint64 m_lastCommitMs = 0; // how long the last commit took
    int m_pending = 0;
};
