#include "PipelinedWalk.h"
#include "ScanConnection.h"
#include "ScanView.h"

PipelinedWalk::PipelinedWalk(HostScanner &scanner)
    : m_s(scanner)
{
}

PipelinedWalk::~PipelinedWalk() = default;

bool PipelinedWalk::start()
{
    m_session = m_s.m_connection.session();
    if (!m_session || !m_session->isOpen() || !m_session->listsOnControl())
        return false;
    m_pipeline = std::make_unique<StatPipeline>(*m_session);
    m_pipeline->setCancelFlag(&m_s.m_cancel);
    if (!m_pipeline->probe())
        return false; // the probe reopened the session: the one-at-a-time walk goes on on it
    m_s.m_stats.pipelined = true;
    return true;
}

bool PipelinedWalk::going() const
{
    return !m_pipeline->isIdle() && !m_s.m_cancel.load() && !m_s.m_lost && !m_s.entryLimitReached();
}

void PipelinedWalk::run()
{
    askForFound();
    while (going()) {
        m_s.startPass(m_outstanding);
        const StatPipeline::Result r = m_pipeline->next();
        const Asked a = answered(r.path);
        if (m_s.m_cancel.load())
            break; // cut short by Cancel: not a fault of the folder, and the next scan lists it
        take(a, r.listing);
        askForFound();
    }
    // Cancel, the entry limit or a connection lost for good: what is in
    // flight is cut rather than read.
    m_pipeline->cancel();
    m_asked.clear();
}

// The subfolders storeListing() found go out at once: their rows, and so
// their IDs, are stored.
void PipelinedWalk::askForFound()
{
    for (const HostScanner::Pending &p : std::as_const(m_s.m_work)) {
        if (p.path.count('/') + 1 > m_s.m_limits.maxDepth) {
            m_s.m_stats.depthLimitReached = true;
            m_s.passOver(p.path, QStringLiteral("deeper than the depth limit of %1 levels").arg(m_s.m_limits.maxDepth));
            continue;
        }
        ask(Asked{p, false});
    }
    m_s.m_work.clear();
}

void PipelinedWalk::ask(const Asked &a)
{
    m_asked[a.folder.path].push_back(a);
    m_pipeline->submit(a.folder.path);
    ++m_outstanding;
}

PipelinedWalk::Asked PipelinedWalk::answered(const QByteArray &path)
{
    const auto it = m_asked.find(path);
    Q_ASSERT(it != m_asked.end() && !it->empty());
    const Asked a = it->front();
    it->pop_front();
    if (it->empty())
        m_asked.erase(it);
    --m_outstanding;
    return a;
}

void PipelinedWalk::take(const Asked &a, const FtpSession::Listing &listing)
{
    if (!listing.ok && listing.entries.isEmpty()) {
        if (!askAgainAfterLoss(a, listing))
            m_s.reportUnlisted(a.folder.path, listing.error);
        return;
    }
    m_s.m_view.pumpEvents();
    m_s.storeListed(a.folder, listing);
}

// The pipeline opens a lost connection again by itself; when even that
// failed, the scanner's own tries with their pauses follow, and the folder
// is asked for once more, as the one-at-a-time walk does.
bool PipelinedWalk::askAgainAfterLoss(const Asked &a, const FtpSession::Listing &listing)
{
    if (m_session->isOpen() || listing.timedOut || a.again)
        return false;
    if (!m_s.ensureAlive())
        m_s.m_lost = true; // the walk ends; the folder is no fault of its own
    else
        ask(Asked{a.folder, true});
    return true;
}
