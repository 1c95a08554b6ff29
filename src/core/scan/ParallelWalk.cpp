#include "ParallelWalk.h"
#include "ListerThread.h"
#include "ScanConnection.h"
#include "ScanView.h"
#include "core/base/ActivityLog.h"

#include <QCoreApplication>

namespace {
// How long the storing thread waits for a listing before it looks at the
// Cancel flag and the connections to open again.
constexpr int WaitSliceMs = 50;
// A folder whose listing cuts the connection every time is given up.
constexpr int MaxLosses = 3;
// The longest pause before another connection is tried, in ms.
constexpr int MaxBackOffMs = 8000;
} // namespace

ParallelWalk::ParallelWalk(WalkContext &context, int connections)
    : m_c(context)
    , m_allowed(connections)
{
}

ParallelWalk::~ParallelWalk()
{
    end();
}

bool ParallelWalk::start()
{
    FtpSession *session = m_c.connection().session();
    if (m_allowed <= 1 || !session || !session->isOpen() || !m_c.wasConnected())
        return false;
    // Every connection lists in passive mode (falling back to active where
    // the server refuses it): a server asked to connect back to several
    // sessions at once can mix them up (pyftpdlib stalls for 30 s, then
    // hands over an empty listing), and NAT routers rarely let several in.
    session->setPassive(true);
    m_like = session->likeness();
    return true;
}

void ParallelWalk::run()
{
    handOut();
    int most = 1;
    while (m_c.going() && (pending() > 0 || !m_c.work().isEmpty())) {
        handOut();
        handle(m_queue.takeReports(0));
        openMore();
        most = qMax(most, connectionsNow());
        if (m_mainUp && listOnMain())
            continue;
        if (!m_mainUp && m_live == 0 && !m_opening)
            break; // every connection lost: the one-at-a-time walk's reconnection takes over
        handle(m_queue.takeReports(WaitSliceMs));
        // As a wait on the network does: the catalogue commits on a timer
        // while the walk waits, so what is stored is on disk during a stall.
        QCoreApplication::processEvents();
    }
    end();
    m_c.stats().connections = most;
    m_c.log().LogLine(QStringLiteral("   Connections used: %1").arg(most), false);
}

// The subfolders the last listing found are queued at once, up to
// MostHandedOut: their rows, and so their IDs, are stored. The rest wait in
// the work list, which keeps a tree of any shape out of memory.
void ParallelWalk::handOut()
{
    if (pending() >= MostHandedOut)
        return;
    m_c.takeFound(MostHandedOut - pending(), [this](const WalkContext::Folder &f) {
        const qint64 ticket = m_nextTicket++;
        m_tickets.emplace(ticket, f);
        m_queue.push({ticket, f.path});
    });
}

// One at a time, only while folders wait, and not before the pause after a
// refusal or a loss has passed.
void ParallelWalk::openMore()
{
    if (m_opening || !m_openAt.hasExpired() || connectionsNow() >= m_allowed || m_queue.queued() == 0)
        return;
    const int id = m_nextLister++;
    auto lister = std::make_unique<ListerThread>(id, m_queue, m_like, &m_stop);
    lister->start();
    m_listers.emplace(id, std::move(lister));
    m_opening = true;
}

// This thread's first job is storing: it lists only what the other
// connections leave over, so their listings do not wait for its own.
bool ParallelWalk::listOnMain()
{
    FolderQueue::Job job;
    if (m_queue.queued() <= m_live || !m_queue.takeJob(job))
        return false;
    m_c.view().setCurrentFolder(WalkContext::shown(job.path));
    const FtpSession::Listing listing = m_c.connection().list(job.path);
    if (m_c.isCancelled())
        return true; // cut short by Cancel: not a fault of the folder
    if (!listing.ok && !listing.timedOut && !m_c.connection().isAlive()) {
        m_mainUp = false;
        lost(job, ListerThread::isBusy(listing) ? FtpSession::Refusal::Busy : FtpSession::Refusal::None, listing.error);
        return true;
    }
    take(job.ticket, listing);
    return true;
}

void ParallelWalk::handle(const QList<Report> &reports)
{
    for (const Report &r : reports) {
        switch (r.kind) {
        case Report::Kind::Opened:
            m_opening = false;
            ++m_live;
            break;
        case Report::Kind::Refused:
            m_opening = false;
            lower(r.error);
            break;
        case Report::Kind::Listed:
            if (m_c.going())
                take(r.job.ticket, r.listing);
            break;
        case Report::Kind::Lost:
            --m_live;
            lost(r.job, r.refusal, r.error);
            break;
        case Report::Kind::Ended:
            m_listers.erase(r.lister);
            break;
        }
    }
}

void ParallelWalk::take(qint64 ticket, const FtpSession::Listing &listing)
{
    const auto it = m_tickets.find(ticket);
    if (it == m_tickets.end())
        return;
    const WalkContext::Folder folder = it->second;
    m_tickets.erase(it);
    m_losses.remove(ticket);
    m_c.startPass(pending() + 1 + m_c.work().size());
    if (!m_c.somethingListed(folder, listing))
        return;
    m_c.view().setCurrentFolder(WalkContext::shown(folder.path));
    m_c.storeListed(folder, listing);
    handOut();
}

// The folder goes back to the queue for another connection; a server that
// said it is full has one connection fewer from now on.
void ParallelWalk::lost(const FolderQueue::Job &job, FtpSession::Refusal why, const QString &error)
{
    if (!m_c.isCancelled() && m_tickets.count(job.ticket)) {
        if (++m_losses[job.ticket] >= MaxLosses) {
            const auto it = m_tickets.find(job.ticket);
            m_c.giveUp(it->second, error);
            m_tickets.erase(it);
        } else {
            m_queue.push(job);
        }
    }
    if (why == FtpSession::Refusal::Busy)
        lower(error);
    else
        m_openAt.setRemainingTime(m_c.retryPauseMs());
}

void ParallelWalk::lower(const QString &why)
{
    const int before = m_allowed;
    m_allowed = qMax(1, qMin(m_allowed, connectionsNow() + 1) - 1);
    const int pause = qMin(MaxBackOffMs, m_c.retryPauseMs() << qMin(m_refusals++, 4));
    m_openAt.setRemainingTime(pause);
    if (m_allowed < before)
        m_c.log().LogLine(QStringLiteral("   The server refused another connection (%1): at most %2 from now on")
                              .arg(why.trimmed())
                              .arg(m_allowed),
                          false);
}

// Folders still waiting go back to the work list: a walk that did not end
// complete removes nothing, and one that lost every connection goes on one
// listing at a time.
void ParallelWalk::end()
{
    if (!m_c.going())
        m_stop.store(true);
    m_queue.close();
    m_listers.clear(); // waits for each thread
    m_queue.takeReports(0);
    for (auto &[ticket, folder] : m_tickets)
        m_c.work().putBack(std::move(folder));
    m_tickets.clear();
}

bool ParallelWalk::withdraw(const QByteArray &path)
{
    for (auto it = m_tickets.begin(); it != m_tickets.end(); ++it) {
        if (it->second.path == path && m_queue.withdraw(it->first)) {
            m_c.work().done(it->second);
            m_tickets.erase(it);
            return true;
        }
    }
    return false;
}
