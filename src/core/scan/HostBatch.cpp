#include "HostBatch.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/WriterTurns.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>
#include <vector>

namespace {
QString storedHost(const BatchHost &h)
{
    return h.logon.host.left(Catalogue::HostSize);
}

} // namespace

HostBatch::HostBatch(BatchScan::Shared shared)
    : m_shared(std::move(shared))
{
    if (!m_shared.turns)
        m_shared.turns = std::make_shared<WriterTurns>();
    m_shared.lineLock = &m_lineLock;
    m_shared.openLock = &m_openLock;
}

qsizetype HostBatch::nextStartable(const QList<BatchHost> &hosts, const QList<bool> &started,
                                   const QStringList &running) const
{
    for (qsizetype i = 0; i < hosts.size(); ++i)
        if (!started[i] && !running.contains(storedHost(hosts[i])))
            return i;
    return -1;
}

// Up to the parallel count, in the hosts' order, none beside a scan of its own host.
void HostBatch::startWhatFits(QList<BatchHost> &hosts, QList<bool> &started, std::vector<Running> &running)
{
    QStringList busy;
    for (const Running &r : running)
        busy << storedHost(hosts[r.index]);
    while (int(running.size()) < m_parallel) {
        const qsizetype i = nextStartable(hosts, started, busy);
        if (i < 0)
            return;
        started[i] = true;
        if (m_admit && !m_admit(hosts[i])) {
            hosts[i].passed = true;
            continue;
        }
        busy << storedHost(hosts[i]);
        Running r{i, std::make_unique<BatchScan>(m_shared, hosts[i]), nullptr};
        BatchScan *scan = r.scan.get();
        r.thread.reset(QThread::create([scan] { scan->run(); }));
        r.thread->start();
        running.push_back(std::move(r));
    }
}

void HostBatch::run(QList<BatchHost> &hosts, const std::atomic_bool *cancel)
{
    QList<bool> started(hosts.size(), false);
    std::vector<Running> running;
    bool cancelSent = false;
    for (;;) {
        std::erase_if(running, [](const Running &r) { return r.thread->isFinished(); });
        const bool cancelled = cancel && cancel->load();
        if (cancelled && !cancelSent) {
            for (Running &r : running)
                r.scan->cancel();
            cancelSent = true;
        }
        if (!cancelled)
            startWhatFits(hosts, started, running);
        if (running.empty())
            return;
        // Posted events of this thread (the command's own catalogue) run meanwhile.
        QCoreApplication::processEvents();
        running.front().thread->wait(QDeadlineTimer(50));
    }
}
