#include "StatPipeline.h"

namespace {
// Measured on vsftpd over 20 ms of round trip, 1,101 folders in three
// levels: windows growing from 16 to 128 walked them in 0.58 s, a fixed 512
// in 0.42 s; the last level's thousand folders then take two round trips
// rather than eight. A command is some 30 bytes, so 512 in flight are 15 KB.
constexpr int FirstWindow = 64;
constexpr int MaxWindow = 512;
constexpr int MinWindow = 4;
// A server that drops pipelined commands never answers them: don't wait
// the whole idle time-out to find out.
constexpr int ProbeWaitMs = 3000;
// A folder whose listing cuts the connection every time is given up.
constexpr int MaxLossesInARow = 3;

bool safePath(const QByteArray &path)
{
    return !path.contains('\0') && !path.contains('\r') && !path.contains('\n');
}
} // namespace

StatPipeline::StatPipeline(FtpSession &session)
    : m_session(session)
    , m_window(FirstWindow)
    , m_maxWindow(MaxWindow)
{
}

bool StatPipeline::probe()
{
    m_pipelining = false;
    if (!m_session.isOpen() || !m_session.listsOnControl())
        return false;
    // Every reply tells which command it answers: a reordering or a
    // dropped command shows as a wrong code, a missing reply as a time-out.
    const QByteArray list = m_session.listCommand();
    m_session.sendAhead("CWD /\r\nPWD\r\n" + list + "\r\nNOOP\r\nPWD\r\n" + list + "\r\n");
    QList<FtpReply> replies;
    for (int i = 0; i < 6; ++i)
        replies << m_session.nextReply(ProbeWaitMs);
    const bool inOrder = replies[0].isPositive() && replies[1].code == 257 && listingShaped(replies[2])
        && replies[3].code == 200 && replies[4].code == 257 && listingShaped(replies[5])
        && replies[2].lines.mid(1) == replies[5].lines.mid(1);
    if (!inOrder) {
        reopen();
        return false;
    }
    m_pipelining = true;
    return true;
}

// A listing reply: positive and more than one line.
bool StatPipeline::listingShaped(const FtpReply &r)
{
    return r.isPositive() && r.lines.size() >= 2;
}

StatPipeline::Result StatPipeline::next()
{
    if (!m_pipelining || !m_session.listsOnControl())
        return nextSerial();
    return nextPipelined();
}

StatPipeline::Result StatPipeline::nextSerial()
{
    Result r;
    r.path = m_queue.front();
    m_queue.pop_front();
    if (!m_session.isOpen())
        reopen();
    r.listing = m_session.list(r.path);
    return r;
}

void StatPipeline::fill()
{
    const QByteArray list = m_session.listCommand();
    QByteArray batch;
    while (!m_queue.empty() && int(m_inFlight.size()) < m_window && safePath(m_queue.front())) {
        batch += "CWD /" + m_queue.front() + "\r\n" + list + "\r\n";
        m_inFlight.push_back(m_queue.front());
        m_queue.pop_front();
    }
    m_windowFull = int(m_inFlight.size()) == m_window && !m_queue.empty();
    if (!batch.isEmpty())
        m_session.sendAhead(batch);
}

StatPipeline::Result StatPipeline::nextPipelined()
{
    if (m_inFlight.empty() && !safePath(m_queue.front())) {
        Result r{m_queue.front(), {}};
        m_queue.pop_front();
        r.listing.error = QStringLiteral("Unsafe characters in the folder name");
        return r;
    }
    if (!m_session.isOpen() && !reopen())
        return lost(m_session.lastError());
    fill();
    const int idle = m_session.logon().idleTimeoutMs;
    // The deadline runs from when this folder's answer is awaited: those
    // before it had theirs.
    m_session.startListingDeadline();
    const FtpReply cwd = m_session.nextReply(idle);
    const FtpReply listing = cwd.code ? m_session.nextReply(idle) : FtpReply();
    const bool pastDeadline = m_session.endListingDeadline();
    if (listing.code == 0 && (pastDeadline || m_session.waitTimedOut()) && !(m_cancel && m_cancel->load()))
        return timedOut(pastDeadline);
    if (listing.code == 0)
        return lost(QStringLiteral("Connection lost"));
    // Only a final reply can answer either command: anything else means
    // the replies are out of step with the commands.
    if (cwd.isPreliminary() || cwd.isIntermediate() || listing.isPreliminary() || listing.isIntermediate()) {
        m_pipelining = false;
        return lost(QStringLiteral("Replies out of step"));
    }
    const QByteArray path = m_inFlight.front();
    m_inFlight.pop_front();
    m_lossesInARow = 0;
    adapt();
    return answer(path, cwd, listing);
}

StatPipeline::Result StatPipeline::answer(const QByteArray &path, const FtpReply &cwd, const FtpReply &listing)
{
    Result r;
    r.path = path;
    if (!cwd.isPositive()) {
        // The listing that followed was of the folder before: dropped.
        r.listing.error = QString::fromUtf8(cwd.text()).trimmed();
        r.listing.code = cwd.code;
        return r;
    }
    r.listing = m_session.listingFrom(listing);
    return r;
}

// The folders in flight have no answer, or none that can be trusted: they
// go back to the front of the queue, in order, for a new connection.
StatPipeline::Result StatPipeline::lost(const QString &why)
{
    for (auto it = m_inFlight.rbegin(); it != m_inFlight.rend(); ++it)
        m_queue.push_front(*it);
    m_inFlight.clear();
    m_window = qMax(MinWindow, m_window / 2);
    m_answeredInWindow = 0;
    m_session.close();
    if (m_cancel && m_cancel->load()) {
        Result r{m_queue.front(), {}};
        m_queue.pop_front();
        r.listing.error = QStringLiteral("Cancelled");
        return r;
    }
    if (++m_lossesInARow >= MaxLossesInARow || !reopen()) {
        Result r;
        r.path = m_queue.front();
        m_queue.pop_front();
        r.listing.error = m_session.lastError().isEmpty() ? why : m_session.lastError();
        m_lossesInARow = 0;
        return r;
    }
    return next();
}

// The server is still there but this folder's answer did not come in time
// (the wait cut the connection). Asking again would cost the same wait: the
// folder is given up as timed out, the ones behind it asked for again.
StatPipeline::Result StatPipeline::timedOut(bool pastDeadline)
{
    Result r;
    r.path = m_inFlight.front();
    m_inFlight.pop_front();
    for (auto it = m_inFlight.rbegin(); it != m_inFlight.rend(); ++it)
        m_queue.push_front(*it);
    m_inFlight.clear();
    m_session.close();
    r.listing.timedOut = true;
    r.listing.error = pastDeadline
        ? QStringLiteral("The listing took longer than %1 s").arg(m_session.logon().listingDeadlineMs / 1000.0)
        : QStringLiteral("No reply from the server within %1 s").arg(m_session.logon().idleTimeoutMs / 1000.0);
    return r;
}

// The same log-on, listing method and trusted certificate: opening afresh
// would ask about the certificate again and probe the methods again.
bool StatPipeline::reopen()
{
    ++m_reopened;
    return m_session.reopen();
}

// The window grows while it is what limits the walk (more folders wait than
// are in flight) and every reply comes; a loss halves it.
void StatPipeline::adapt()
{
    if (!m_windowFull || ++m_answeredInWindow < m_window)
        return;
    m_answeredInWindow = 0;
    m_window = qMin(m_maxWindow, m_window * 2);
}

void StatPipeline::setWindowLimits(int first, int most)
{
    m_window = qMax(1, first);
    m_maxWindow = qMax(m_window, most);
}

void StatPipeline::cancel()
{
    m_queue.clear();
    if (!m_inFlight.empty())
        m_session.close();
    m_inFlight.clear();
}

QByteArrayList StatPipeline::takeQueued()
{
    QByteArrayList out(m_queue.begin(), m_queue.end());
    m_queue.clear();
    return out;
}
