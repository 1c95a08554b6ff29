#include "HostScanner.h"
#include "core/base/ActivityLog.h"
#include "core/base/UserMessages.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ScanLock.h"
#include "core/catalogue/ScanChanges.h"
#include "core/catalogue/ScanRuns.h"
#include "HostSource.h"
#include "ParallelWalk.h"
#include "PipelinedWalk.h"
#include "RunResult.h"
#include "ScanConnection.h"
#include "ScanView.h"
#include "SerialWalk.h"

HostScanner::HostScanner(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log,
                         HostSource &hosts, UserMessages &messages, ScanView &view)
    : m_connection(connection)
    , m_catalogue(catalogue)
    , m_log(log)
    , m_hosts(hosts)
    , m_messages(messages)
    , m_view(view)
    , m_context(connection, catalogue, log, view)
{
    // Every walk pumps at each folder; a timer would need an event loop that
    // the GUI's scan thread does not run while it walks.
    m_context.setKeepAlive([this] { beat(); });
}

// A failed refresh is not the scan's failure: the next one, or the commit, tells.
void HostScanner::beat()
{
    if (!m_heartbeat.isValid() || m_heartbeat.elapsed() < ScanLock::HeartbeatSecs * 1000)
        return;
    m_heartbeat.restart();
    try {
        ScanLock(m_catalogue.database()).refresh(m_context.host().left(Catalogue::HostSize));
    } catch (const CatalogueError &) {
    }
}

void HostScanner::setLimits(const Limits &limits)
{
    m_context.work().setMaxDepth(limits.maxDepth);
    m_context.setEntryLimit(limits.maxEntries);
}

void HostScanner::ScanHost()
{
    if (m_running)
        return;
    m_running = true;
    m_context.begin(m_hosts.CurrentHost());
    m_started = QDateTime::currentDateTimeUtc();
    m_lastRun = ScanRun();
    m_lastRun.host = m_context.host().left(Catalogue::HostSize);
    m_lastRun.started = m_started;
    m_lastRun.startPath = m_startPath;
    if (!claimHost()) {
        m_running = false;
        return;
    }
    connect();
    m_view.showView();
    try {
        m_context.startWork(m_resume);
        m_context.beginStoring();
        walk();
        m_context.endStoring();
    } catch (const CatalogueError &e) {
        m_context.stats().catalogueFailed = true;
        m_messages.showMessage(m_catalogue.describe(e.message()));
    }
    finish();
}

// A catalogue takes one scan of a host at a time, from any program or
// machine: a second one would store the host's entries again.
bool HostScanner::claimHost()
{
    try {
        if (m_catalogue.lockHost(m_context.host())) {
            // A closed catalogue has no row to lock: its first write reports it.
            const QString stored = m_context.host().left(Catalogue::HostSize);
            if (!m_catalogue.isOpen() || ScanLock(m_catalogue.database()).claim(stored)) {
                m_heartbeat.start();
                return true;
            }
            m_catalogue.unlockHost(m_context.host());
        }
        m_messages.showMessage(QStringLiteral("Host %1 is being scanned by another scanner of this catalogue; "
                                              "scan it again when that scan has ended")
                                   .arg(m_context.host()));
    } catch (const CatalogueError &e) {
        m_messages.showMessage(e.message());
    }
    m_context.stats().catalogueFailed = true;
    return false;
}

void HostScanner::connect()
{
    m_connection.setCancelFlag(m_context.cancelFlag());
    // A connection opened by hand is closed first, with its closed line.
    if (m_connection.isConnected())
        m_connection.CloseConnection();
    m_connection.ConnectToHost();
    m_context.setConnected(m_connection.isConnected());
}

// Listings in flight where the server takes them, else several connections
// where it lets them in; what they leave is listed one at a time.
void HostScanner::walk()
{
    PipelinedWalk pipelined(m_context);
    ParallelWalk parallel(m_context, m_connections);
    if (m_pipelining && pipelined.start())
        m_context.run(pipelined);
    else if (parallel.start())
        m_context.run(parallel);
    SerialWalk serial(m_context);
    m_context.run(serial);
    // Lost for good, even on the last folder left: said once.
    if (!m_context.isCancelled() && m_context.lostForGood()) {
        m_context.stats().terminated = true;
        m_messages.showMessage(QStringLiteral("Terminated"));
    }
}

// Said before the scan-time line, so the log tells a scan cut short from a
// complete one.
void HostScanner::logHowItEnded()
{
    ScanStats &stats = m_context.stats();
    const QString &host = m_context.host();
    stats.cancelled = m_context.isCancelled();
    if (stats.cancelled)
        m_log.LogLine(QStringLiteral("   Scan cancelled: what was found so far is stored"), false);
    else if (!m_context.wasConnected())
        m_log.LogLine(QStringLiteral("   Scan stopped: could not log on to %1").arg(host), false);
    else if (stats.catalogueFailed)
        m_log.LogLine(QStringLiteral("   Scan stopped: the catalogue could not store more; what was committed stays"),
                      false);
    else if (stats.terminated)
        m_log.LogLine(QStringLiteral("   Scan stopped: the connection to %1 was lost").arg(host), false);
}

QStringList HostScanner::closingLines() const
{
    const ScanStats &stats = m_context.stats();
    QStringList lines;
    if (stats.failed > 0)
        lines << QStringLiteral("   Folders that could not be listed: %1").arg(stats.failed);
    if (stats.unreadLines > 0)
        lines << QStringLiteral("   Listing lines that could not be read: %1 in %2 folders")
                     .arg(stats.unreadLines)
                     .arg(stats.unreadFolders);
    if (stats.partReadLines > 0)
        lines << QStringLiteral("   Listing lines read in part: %1").arg(stats.partReadLines);
    lines << m_context.passOverSummary();
    if (m_context.wasConnected())
        lines << QStringLiteral("   Added %1, changed %2, removed %3")
                     .arg(stats.added)
                     .arg(stats.changed)
                     .arg(stats.removed);
    return lines;
}

// Every scan that reached the catalogue, failed or not: a failed catalogue
// has been reported once already, and would fail again.
void HostScanner::recordRun()
{
    const ScanStats &stats = m_context.stats();
    ScanRun &run = m_lastRun;
    run.ended = QDateTime::currentDateTimeUtc();
    run.result = RunResult::of(stats, m_context.wasConnected(), m_connection.refusal(), m_connection.failureReason());
    run.entries = stats.entries;
    run.folders = stats.listed;
    run.added = stats.added;
    run.changed = stats.changed;
    run.removed = stats.removed;
    run.unreadLines = stats.unreadLines;
    run.method = m_context.wasConnected() ? m_connection.listingMethod() : QString();
    run.greeting = m_connection.greeting();
    if (stats.catalogueFailed || !m_catalogue.isOpen())
        return;
    // One transaction: the run and its lines' number together, and one
    // writer's turn among the scans of a batch.
    try {
        m_catalogue.beginWrite();
        run.run = ScanRuns(m_catalogue.database()).record(run);
        ScanChanges::closeRun(m_catalogue.database(), run.host, run.run, m_keepRuns);
        m_catalogue.flush();
    } catch (const CatalogueError &e) {
        run.run = 0;
        m_messages.showMessage(QStringLiteral("The scan of %1 could not be recorded in the catalogue: %2")
                                   .arg(run.host, m_catalogue.describe(e.message())));
        try {
            m_catalogue.flush(); // whatever of it was stored
        } catch (const CatalogueError &) {
        }
    }
}

void HostScanner::finish()
{
    m_context.stats().cancelled = m_context.isCancelled();
    recordRun();
    m_heartbeat.invalidate();
    ScanLock(m_catalogue.database()).release(m_context.host().left(Catalogue::HostSize));
    m_catalogue.unlockHost(m_context.host());
    m_connection.CloseConnection();
    logHowItEnded();
    m_view.hideView();
    m_context.stats().closingLines = closingLines();
    if (!m_deferClosing) {
        for (const QString &line : std::as_const(m_context.stats().closingLines))
            m_log.LogLine(line, false);
    }
    m_context.clear();
    m_running = false;
    if (m_afterScan)
        m_afterScan();
}
