#pragma once
#include <QByteArray>
#include <QMap>
#include <QObject>

class QTcpSocket;

// The answers of one connection, sent in the order its requests came: a
// client that sends requests one after another without waiting (HTTP
// pipelining) must get them back in that order, though the pool may finish
// a later one first. A child of the socket, so it goes when the socket does.
class AnswerQueue : public QObject
{
    Q_OBJECT
public:
    // The socket's queue, made on its first request.
    static AnswerQueue *of(QTcpSocket *socket);

    // The place of the next request's answer.
    qint64 reserve() { return m_reserved++; }
    // The answer for a place; writes every answer that is due.
    void fill(qint64 place, const QByteArray &bytes);

private:
    explicit AnswerQueue(QTcpSocket *socket);

    QTcpSocket *m_socket;
    QMap<qint64, QByteArray> m_ready;
    qint64 m_reserved = 0;
    qint64 m_next = 0;
};
