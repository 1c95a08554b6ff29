#include "DelayLine.h"

#include <QTcpSocket>

namespace {
// Qt's timers count whole milliseconds: a chunk due within this much of now
// goes out at once rather than a millisecond late.
constexpr std::chrono::microseconds Slack{500};
} // namespace

DelayLine::DelayLine(QTcpSocket &target, std::chrono::microseconds delay, QObject *parent)
    : QObject(parent)
    , m_target(target)
    , m_delay(delay)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DelayLine::flush);
}

void DelayLine::push(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        enqueue({Clock::now() + m_delay, bytes, false});
}

void DelayLine::pushEnd()
{
    enqueue({Clock::now() + m_delay, QByteArray(), true});
}

void DelayLine::enqueue(Chunk c)
{
    m_queue.push_back(std::move(c));
    if (!m_timer.isActive())
        arm();
}

void DelayLine::flush()
{
    const Clock::time_point now = Clock::now() + Slack;
    while (!m_queue.empty() && m_queue.front().due <= now) {
        Chunk c = std::move(m_queue.front());
        m_queue.pop_front();
        if (c.end) {
            m_target.disconnectFromHost();
            emit ended();
            continue;
        }
        m_target.write(c.bytes);
    }
    arm();
}

void DelayLine::arm()
{
    if (m_queue.empty())
        return;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(m_queue.front().due - Clock::now());
    m_timer.start(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
}
