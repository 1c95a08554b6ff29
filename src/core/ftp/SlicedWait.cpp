#include "SlicedWait.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSslSocket>

SlicedWait::SlicedWait()
{
    m_connectSlice.setSingleShot(true);
    m_connectSlice.setTimerType(Qt::PreciseTimer); // a coarse one may end a slice 5 % late
}

SlicedWait::Outcome SlicedWait::run(int totalMs, const std::function<bool(int)> &step,
                                    const std::function<bool()> &alive)
{
    const QDeadlineTimer deadline(qMax(0, totalMs));
    for (;;) {
        if (cancelled())
            return Outcome::Cancelled;
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Outcome::TimedOut;
        if (step(int(qMin<qint64>(SliceMs, left))))
            return Outcome::Done;
        if (!alive())
            return Outcome::Failed;
        QCoreApplication::processEvents();
    }
}

// waitForConnected() gives up on an address when its time runs out, so a
// connection in progress is awaited through the event loop instead.
SlicedWait::Outcome SlicedWait::connected(QAbstractSocket &socket, int totalMs)
{
    const auto step = [this, &socket](int ms) {
        if (socket.state() != QAbstractSocket::ConnectedState) {
            QEventLoop loop;
            QObject::connect(&m_connectSlice, &QTimer::timeout, &loop, &QEventLoop::quit);
            QObject::connect(&socket, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
            m_connectSlice.start(ms);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            m_connectSlice.stop();
        }
        return socket.state() == QAbstractSocket::ConnectedState;
    };
    const Outcome w = run(totalMs, step, [&socket] { return socket.state() != QAbstractSocket::UnconnectedState; });
    if (w != Outcome::Done)
        socket.abort();
    return w;
}

SlicedWait::Outcome SlicedWait::encrypted(QSslSocket &socket, int totalMs)
{
    return run(
        totalMs, [&socket](int ms) { return socket.isEncrypted() || socket.waitForEncrypted(ms); },
        [&socket] { return socket.state() == QAbstractSocket::ConnectedState; });
}

SlicedWait::Outcome SlicedWait::readable(QAbstractSocket &socket, int totalMs)
{
    return run(
        totalMs, [&socket](int ms) { return socket.bytesAvailable() > 0 || socket.waitForReadyRead(ms); },
        [&socket] { return socket.state() == QAbstractSocket::ConnectedState; });
}

bool SlicedWait::endDeadline()
{
    const bool passed = m_deadline.hasExpired();
    m_deadline = QDeadlineTimer(QDeadlineTimer::Forever);
    return passed;
}

int SlicedWait::remainingMs(int idleMs) const
{
    const qint64 left = m_deadline.remainingTime();
    return left < 0 ? idleMs : int(qMin<qint64>(idleMs, left));
}
