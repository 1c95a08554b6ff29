#include "ElapsedCounter.h"

ElapsedCounter::ElapsedCounter(QObject *parent)
    : QObject(parent)
{
    // One monotonic clock for every counter: a change of the system time
    // does not stretch or shrink a scan.
    static QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    m_clock = [] { return since.elapsed(); };
}

int ElapsedCounter::tag() const
{
    return m_running ? m_tag + int((m_clock() - m_startMs) / 1000) : m_tag;
}

void ElapsedCounter::setTag(int t)
{
    m_tag = t;
    m_startMs = m_clock();
}

void ElapsedCounter::start()
{
    m_tag = 0;
    m_startMs = m_clock();
    m_running = true;
}

void ElapsedCounter::stop()
{
    m_running = false;
    m_tag = 0;
}

QString ElapsedCounter::ElapsedText(int t)
{
    if (t <= 60)
        return QStringLiteral("%1 sec").arg(t);
    if (t <= 3600)
        return QStringLiteral("%1 min  %2 sec").arg(t / 60).arg(t % 60);
    return QStringLiteral("%1 hour  %2 min").arg(t / 3600).arg((t % 3600) / 60);
}
