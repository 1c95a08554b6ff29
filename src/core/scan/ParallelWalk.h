#pragma once
#include "FolderQueue.h"
#include "FolderWalk.h"
#include "WalkContext.h"

#include <QDeadlineTimer>
#include <QHash>
#include <atomic>
#include <map>
#include <memory>

class ListerThread;

// The walk over several logged-on connections, for servers that
// list on data connections: the scan's own connection lists on this thread,
// the others each on a thread of their own, all from one queue of folders.
// Only this thread stores: a folder's row is stored before its listing is
// asked for, so every child finds its parent's ID. Extra connections open
// one at a time; a server that refuses one (421, 530 on a log-on that worked
// before, a refused connection) lowers the count for the rest of the scan,
// and the next try waits longer.
class ParallelWalk : public FolderWalk
{
public:
    // Folders queued and not yet stored at most: enough that no connection
    // waits for work.
    static constexpr qsizetype MostHandedOut = 256;

    // connections: the most that list at once.
    ParallelWalk(WalkContext &context, int connections);
    ~ParallelWalk() override;

    // False leaves the walk to another: one connection wanted, or none to copy.
    bool start() override;
    void run() override;
    // A folder waiting in the queue leaves it.
    bool withdraw(const QByteArray &path) override;

private:
    using Report = FolderQueue::Report;

    qsizetype pending() const { return qsizetype(m_tickets.size()); }
    void handOut();
    void openMore();
    bool listOnMain();
    void handle(const QList<Report> &reports);
    void take(qint64 ticket, const FtpSession::Listing &listing);
    void lost(const FolderQueue::Job &job, FtpSession::Refusal why, const QString &error);
    void lower(const QString &why);
    int connectionsNow() const { return m_live + (m_mainUp ? 1 : 0); }
    void end();

    WalkContext &m_c;
    FolderQueue m_queue;
    FtpSession::Likeness m_like;
    std::atomic_bool m_stop{false};
    std::map<int, std::unique_ptr<ListerThread>> m_listers;
    // The folders handed out and not yet stored, by ticket.
    std::map<qint64, WalkContext::Folder> m_tickets;
    QHash<qint64, int> m_losses;
    qint64 m_nextTicket = 1;
    int m_nextLister = 1;
    int m_allowed = 1; // the most connections that may list at once
    int m_live = 0;
    bool m_mainUp = true;
    bool m_opening = false;
    int m_refusals = 0;
    QDeadlineTimer m_openAt{0};
};
