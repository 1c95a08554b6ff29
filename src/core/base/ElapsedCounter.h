#pragma once
#include <QObject>
#include <QTimer>

// A one-second timer whose tag counts the ticks served since it was started.
// Ticks arrive only while events are processed, so during a blocking listing
// the count falls behind the clock, by design.
class ElapsedCounter : public QObject
{
    Q_OBJECT
public:
    explicit ElapsedCounter(QObject *parent = nullptr);

    int tag() const { return m_tag; }
    void setTag(int t) { m_tag = t; }
    bool isEnabled() const { return m_timer.isActive(); }
    // Tag to 0, then enabled.
    void start();
    // Disabled, then tag to 0.
    void stop();
    void tick() { ++m_tag; }

    static QString ElapsedText(int seconds);

private:
    QTimer m_timer;
    int m_tag = 0;
};
