#pragma once
#include "core/ftp/FtpSession.h"

#include <QThread>
#include <atomic>
#include <memory>

class FolderQueue;

// One more logged-on connection of a scan, on a thread of its own: it takes
// folders from the shared queue, lists them and reports each listing back.
// It ends when the queue closes, or at once when its connection is lost: the
// storing thread decides whether another is opened. Its session is made,
// used and closed on its thread only.
class ListerThread
{
public:
    // stop: every wait on the network gives up once it is true. Not owned.
    ListerThread(int id, FolderQueue &queue, const FtpSession::Likeness &like, const std::atomic_bool *stop);
    ~ListerThread(); // waits for the thread to end

    void start() { m_thread->start(); }
    // A server that says 421 while listing is full, not broken: it wants one
    // connection fewer.
    static bool isBusy(const FtpSession::Listing &listing);
    int id() const { return m_id; }

private:
    void run();
    void listUntilLost(FtpSession &session);

    int m_id;
    FolderQueue &m_queue;
    FtpSession::Likeness m_like;
    const std::atomic_bool *m_stop;
    std::unique_ptr<QThread> m_thread;
};
