#pragma once
#include "BatchScan.h"

#include <QList>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

// Scans several hosts into one catalogue, a few at once, each on a thread
// of its own with its own connections. Their writes take turns (WriterTurns)
// on an SQLite file; a shared database takes them side by side. Two
// addresses of one host (two start folders) are scanned one after the other.
class HostBatch
{
public:
    static constexpr int DefaultParallel = 4;
    static constexpr int MaxParallel = 64;

    // shared.turns is made here when not given.
    explicit HostBatch(BatchScan::Shared shared);
    void setParallel(int n) { m_parallel = qBound(1, n, MaxParallel); }
    // Asked on the caller's thread just before each host's scan starts:
    // false passes the host by (BatchHost::passed).
    void setAdmit(std::function<bool(const BatchHost &)> admit) { m_admit = std::move(admit); }

    // Returns when every host has been scanned, each filled with its outcome.
    // Once *cancel is true (a signal handler may set it), the scans running
    // end as after Cancel and the rest are not started.
    void run(QList<BatchHost> &hosts, const std::atomic_bool *cancel);

private:
    struct Running
    {
        qsizetype index;
        std::unique_ptr<BatchScan> scan;
        std::unique_ptr<QThread> thread;
    };
    void startWhatFits(QList<BatchHost> &hosts, QList<bool> &started, std::vector<Running> &running);
    qsizetype nextStartable(const QList<BatchHost> &hosts, const QList<bool> &started, const QStringList &running) const;

    BatchScan::Shared m_shared;
    QMutex m_lineLock;
    QMutex m_openLock;
    int m_parallel = DefaultParallel;
    std::function<bool(const BatchHost &)> m_admit;
};
