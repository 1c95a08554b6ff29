#include "ElapsedCounter.h"

ElapsedCounter::ElapsedCounter(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &ElapsedCounter::tick);
}

void ElapsedCounter::start()
{
    m_tag = 0;
    m_timer.start();
}

void ElapsedCounter::stop()
{
    m_timer.stop();
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
