#include "WriterTurns.h"

#include <QMutexLocker>

void WriterTurns::take(std::function<void()> askToPass)
{
    QMutexLocker lock(&m_mutex);
    const quint64 ticket = m_nextTicket++;
    while (m_held || ticket != m_serving) {
        if (m_held && !m_asked && m_askHolder) {
            m_asked = true;
            m_askHolder();
        }
        m_free.wait(&m_mutex);
    }
    m_held = true;
    m_asked = false;
    m_askHolder = std::move(askToPass);
}

void WriterTurns::release()
{
    QMutexLocker lock(&m_mutex);
    if (!m_held)
        return;
    m_held = false;
    m_askHolder = nullptr;
    ++m_serving;
    m_free.wakeAll();
}

bool WriterTurns::othersWaiting() const
{
    QMutexLocker lock(&m_mutex);
    return m_nextTicket > m_serving + (m_held ? 1 : 0);
}
