#include "ListerThread.h"
#include "FolderQueue.h"

ListerThread::ListerThread(int id, FolderQueue &queue, const FtpSession::Likeness &like, const std::atomic_bool *stop)
    : m_id(id)
    , m_queue(queue)
    , m_like(like)
    , m_stop(stop)
{
    m_thread.reset(QThread::create([this] { run(); }));
}

ListerThread::~ListerThread()
{
    m_thread->wait();
}

bool ListerThread::isBusy(const FtpSession::Listing &listing)
{
    return listing.code == 421;
}

void ListerThread::run()
{
    using Kind = FolderQueue::Report::Kind;
    FtpSession session;
    session.setCancelFlag(m_stop);
    if (session.openLike(m_like)) {
        m_queue.report({Kind::Opened, m_id, {}, {}, FtpSession::Refusal::None, {}});
        listUntilLost(session);
        session.close();
    } else {
        m_queue.report({Kind::Refused, m_id, {}, {}, session.lastRefusal(), session.lastError()});
    }
    m_queue.report({Kind::Ended, m_id, {}, {}, FtpSession::Refusal::None, {}});
}

void ListerThread::listUntilLost(FtpSession &session)
{
    using Kind = FolderQueue::Report::Kind;
    FolderQueue::Job job;
    while (m_queue.waitJob(job)) {
        FtpSession::Listing listing = session.list(job.path);
        // A time-out already cost its wait, and list() opened the session again.
        const bool lost = !listing.ok && !listing.timedOut && !session.isOpen();
        const FtpSession::Refusal why = lost && isBusy(listing) ? FtpSession::Refusal::Busy : FtpSession::Refusal::None;
        const QString error = listing.error;
        m_queue.report({lost ? Kind::Lost : Kind::Listed, m_id, std::move(job), std::move(listing), why, error});
        if (lost)
            return;
    }
}
