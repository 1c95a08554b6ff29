#include "PipelinedWalk.h"
#include "ScanConnection.h"
#include "ScanView.h"

PipelinedWalk::PipelinedWalk(WalkContext &context)
    : m_c(context)
{
}

PipelinedWalk::~PipelinedWalk() = default;

bool PipelinedWalk::start()
{
    m_session = m_c.connection().session();
    if (!m_session || !m_session->isOpen() || !m_session->listsOnControl())
        return false;
    m_pipeline = std::make_unique<StatPipeline>(*m_session);
    m_pipeline->setCancelFlag(m_c.cancelFlag());
    if (!m_pipeline->probe())
        return false; // the probe reopened the session: the one-at-a-time walk goes on on it
    m_c.stats().pipelined = true;
    return true;
}

bool PipelinedWalk::going()
{
    return (!m_pipeline->isIdle() || !m_c.work().isEmpty()) && m_c.going();
}

void PipelinedWalk::run()
{
    takeProbed();
    askForFound();
    while (going()) {
        if (m_pipeline->isIdle()) {
            askForFound(); // everything in flight was stored: the work list's folders go out
            continue;
        }
        m_c.startPass(m_outstanding + m_c.work().size());
        const StatPipeline::Result r = m_pipeline->next();
        const Asked a = answered(r.path);
        if (m_c.isCancelled())
            break; // cut short by Cancel: not a fault of the folder, and the next scan lists it
        take(a, r.listing);
        askForFound();
    }
    // Cancel, the entry limit or a connection lost for good: what is in
    // flight is cut rather than read.
    m_pipeline->cancel();
    m_asked.clear();
}

// The top's listing the method probe made is the walk's: it is not asked
// for again.
void PipelinedWalk::takeProbed()
{
    if (m_c.work().isEmpty())
        return;
    std::optional<FtpSession::Listing> probed = m_session->takeProbed(m_c.work().last().path);
    if (!probed)
        return;
    const WalkContext::Folder folder = m_c.work().takeLast();
    if (m_c.admit(folder))
        take(Asked{folder, false}, *probed);
}

// The subfolders the last listing found go out at once, up to MostAsked:
// their rows, and so their IDs, are stored. The rest wait in the work list,
// which keeps a tree of any shape out of memory.
void PipelinedWalk::askForFound()
{
    if (m_outstanding >= MostAsked)
        return;
    m_c.takeFound(MostAsked - m_outstanding, [this](const WalkContext::Folder &f) { ask(Asked{f, false}); });
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
    if (WalkContext::nothingListed(listing) && askAgainAfterLoss(a, listing))
        return;
    if (!m_c.somethingListed(a.folder, listing))
        return;
    m_c.view().pumpEvents();
    m_c.storeListed(a.folder, listing);
}

// The pipeline opens a lost connection again by itself; when even that
// failed, the context's own tries with their pauses follow, and the folder
// is asked for once more, as the one-at-a-time walk does.
bool PipelinedWalk::askAgainAfterLoss(const Asked &a, const FtpSession::Listing &listing)
{
    if (m_session->isOpen() || listing.timedOut || a.again)
        return false;
    if (!m_c.ensureAlive())
        m_c.markLost(); // the walk ends; the folder is no fault of its own
    else
        ask(Asked{a.folder, true});
    return true;
}
