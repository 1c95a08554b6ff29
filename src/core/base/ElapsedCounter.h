#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <functional>

// Whole seconds since start(), by the wall clock. It once counted the ticks
// of a one-second timer, which arrive only while events are processed: a
// scan that kept its thread busy for 2 min 26 s logged "3 sec".
class ElapsedCounter : public QObject
{
    Q_OBJECT
public:
    explicit ElapsedCounter(QObject *parent = nullptr);

    // While enabled, the seconds since start() plus what setTag() added.
    int tag() const;
    void setTag(int t);
    bool isEnabled() const { return m_running; }
    // Tag to 0, then enabled.
    void start();
    // Disabled, then tag to 0.
    void stop();

    // Tests pin the clock: milliseconds from any fixed point.
    void setClock(std::function<qint64()> msClock) { m_clock = std::move(msClock); }

    static QString ElapsedText(int seconds);

private:
    std::function<qint64()> m_clock;
    qint64 m_startMs = 0;
    int m_tag = 0;
    bool m_running = false;
};
