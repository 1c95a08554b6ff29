#include "AnswerQueue.h"

#include <QTcpSocket>

AnswerQueue::AnswerQueue(QTcpSocket *socket)
    : QObject(socket)
    , m_socket(socket)
{
}

AnswerQueue *AnswerQueue::of(QTcpSocket *socket)
{
    auto *queue = socket->findChild<AnswerQueue *>(QString(), Qt::FindDirectChildrenOnly);
    return queue ? queue : new AnswerQueue(socket);
}

void AnswerQueue::fill(qint64 place, const QByteArray &bytes)
{
    m_ready.insert(place, bytes);
    while (!m_ready.isEmpty() && m_ready.firstKey() == m_next) {
        const QByteArray due = m_ready.take(m_next++);
        if (m_socket->state() == QAbstractSocket::ConnectedState)
            m_socket->write(due);
    }
}
