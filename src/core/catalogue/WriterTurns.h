#pragma once
#include <QMutex>
#include <QWaitCondition>
#include <functional>

// The write transactions of several scans in one process on one SQLite
// file, one at a time and in the order asked for. SQLite takes one writer
// at a time anyway; left to it, each waiting writer would sleep and retry on
// its busy timeout while the holder's transaction stays open across its
// waits on the network (CommitPacing commits a quarter second later), and
// a writer that read before another's commit fails at once. Taking turns,
// a waiting scan asks the holder to commit at its next pause instead.
// Shared between threads: every member may be called from any of them.
class WriterTurns
{
public:
    // Blocks until no other transaction of the process is open. askToPass:
    // called, on a waiting thread, while this holder keeps others waiting;
    // it must only post a request to the holder's thread.
    void take(std::function<void()> askToPass);
    void release();
    bool othersWaiting() const;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_free;
    quint64 m_nextTicket = 0;
    quint64 m_serving = 0; // the ticket whose holder may write
    bool m_held = false;
    bool m_asked = false; // the holder was asked to pass already
    std::function<void()> m_askHolder;
};
