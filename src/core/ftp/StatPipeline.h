#pragma once
#include "FtpSession.h"

#include <QByteArray>
#include <QByteArrayList>
#include <atomic>
#include <deque>

// Lists many folders over one control connection with several listing
// commands in flight, where the session lists on the control connection
// (STAT). Each folder is a "CWD /path" and a listing command of the current
// folder: the name travels as it is, never as a pattern (servers expand "*"
// and "?" in a STAT argument). Replies are matched to folders in the order
// the commands went out, so pipelining starts only after probe() saw a
// server answer in order; without it, folders are listed one at a time.
class StatPipeline
{
public:
    struct Result
    {
        QByteArray path;
        FtpSession::Listing listing;
    };

    explicit StatPipeline(FtpSession &session);

    // Sends a few commands with distinct replies in one go and checks that
    // every reply came, in order. On any doubt the session is opened again
    // (late replies would be taken for the next folder's) and stays serial.
    bool probe();
    bool pipelining() const { return m_pipelining; }

    void submit(const QByteArray &path) { m_queue.push_back(path); }
    bool isIdle() const { return m_queue.empty() && m_inFlight.empty(); }
    // The next folder's listing, in the order submitted (a folder whose
    // answer was lost with the connection comes again later). Sends more
    // commands first, so the server works while the caller stores this one.
    // Call only when !isIdle().
    Result next();
    // Forgets every queued folder; listings in flight are cut with the
    // connection, which is quicker than reading them.
    void cancel();
    // Folders not yet sent, for a caller that shares them out elsewhere.
    QByteArrayList takeQueued();

    // The window starts at first and grows up to most (64 and 512 unless
    // set; benchmarks compare fixed windows).
    void setWindowLimits(int first, int most);
    // Once *cancel is true a lost wait is not taken for a lost connection:
    // nothing is opened again. Not owned.
    void setCancelFlag(const std::atomic_bool *cancel) { m_cancel = cancel; }
    int window() const { return m_window; }
    int reopened() const { return m_reopened; }

private:
    void fill();
    Result nextSerial();
    Result nextPipelined();
    Result answer(const QByteArray &path, const FtpReply &cwd, const FtpReply &listing);
    Result lost(const QString &why);
    Result timedOut(bool pastDeadline);
    bool reopen();
    void adapt();
    static bool listingShaped(const FtpReply &r);

    FtpSession &m_session;
    std::deque<QByteArray> m_queue;
    std::deque<QByteArray> m_inFlight;
    bool m_pipelining = false;
    int m_window = 16;
    int m_maxWindow = 128;
    int m_answeredInWindow = 0;
    bool m_windowFull = false;
    int m_reopened = 0;
    int m_lossesInARow = 0;
    const std::atomic_bool *m_cancel = nullptr;
};
