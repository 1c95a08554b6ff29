#pragma once
#include <QDeadlineTimer>
#include <QTimer>

#include <atomic>
#include <functional>

class QAbstractSocket;
class QSslSocket;

// Every wait of a session runs in slices of at most SliceMs: between slices
// the cancel flag is looked at and the thread's own events run (the
// catalogue commits on a timer during a stall). While a listing's deadline
// runs, no wait asked for through remainingMs() outlasts it.
class SlicedWait
{
public:
    enum class Outcome { Done, TimedOut, Failed, Cancelled };
    static constexpr int SliceMs = 50;

    SlicedWait();

    // Not owned; null: never cancelled.
    void setCancelFlag(const std::atomic_bool *cancel) { m_cancel = cancel; }
    bool cancelled() const { return m_cancel && m_cancel->load(); }

    // step(ms) waits at most ms and says whether the awaited thing
    // happened; alive() false ends the wait early.
    Outcome run(int totalMs, const std::function<bool(int)> &step, const std::function<bool()> &alive);
    // A socket that does not connect in time is aborted.
    Outcome connected(QAbstractSocket &socket, int totalMs);
    Outcome encrypted(QSslSocket &socket, int totalMs);
    Outcome readable(QAbstractSocket &socket, int totalMs);

    void startDeadline(int ms) { m_deadline.setRemainingTime(ms); }
    // Stops the deadline; true when it had passed.
    bool endDeadline();
    // idleMs, or less where the deadline is nearer.
    int remainingMs(int idleMs) const;

private:
    // Ends a slice of waiting for a connection. One kept for the session:
    // a single-shot timer made per folder lived on until its time ran out, so
    // each thread carried a hundred of them and fired each one for nothing.
    QTimer m_connectSlice;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
    const std::atomic_bool *m_cancel = nullptr;
};
