#pragma once
#include <QElapsedTimer>
#include <atomic>

// The trigram index's build when a catalogue from before it is first opened:
// progress on standard error, and Ctrl-C (or SIGTERM) stops the build while
// the command goes on, its finds reading the whole table; a later run
// resumes the build where it stopped. Signals are the terminal's again once
// the object is gone, so a second Ctrl-C ends the command.
class IndexProgress
{
public:
    IndexProgress();
    ~IndexProgress();
    IndexProgress(const IndexProgress &) = delete;
    IndexProgress &operator=(const IndexProgress &) = delete;

    // NameIndex::Progress: false once interrupted.
    bool operator()(qint64 done, qint64 total);
    bool stopped() const { return m_stopped; }

private:
    void draw(qint64 done, qint64 total);

    std::atomic_bool m_cancel{false};
    bool m_tty = false;
    bool m_started = false;
    bool m_stopped = false;
    QElapsedTimer m_elapsed;
};
