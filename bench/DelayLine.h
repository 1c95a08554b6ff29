#pragma once
#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>

class QTcpSocket;

// One direction of a proxied connection: bytes read now are written to the
// target delay later, in order; the end of the stream travels the same way.
class DelayLine : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    DelayLine(QTcpSocket &target, std::chrono::microseconds delay, QObject *parent = nullptr);

    void push(const QByteArray &bytes);
    void pushEnd();
    bool idle() const { return m_queue.empty(); }

signals:
    void ended();

private:
    struct Chunk
    {
        Clock::time_point due;
        QByteArray bytes;
        bool end = false;
    };

    void enqueue(Chunk c);
    void flush();
    void arm();

    QTcpSocket &m_target;
    std::chrono::microseconds m_delay;
    std::deque<Chunk> m_queue;
    QTimer m_timer;
};
