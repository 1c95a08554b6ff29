#pragma once
#include "ScanStats.h"
#include "WalkContext.h"
#include "core/catalogue/ScanRun.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QElapsedTimer>
#include <atomic>
#include <functional>

class ActivityLog;
class Catalogue;
class HostSource;
class ScanConnection;
class ScanView;
class UserMessages;

// Walks a host's whole tree, storing every entry under the ID of the folder
// that holds it: one listing at a time, depth first (SerialWalk), or, on
// servers that list on the control connection and answer pipelined commands
// in order, with several listings in flight (PipelinedWalk), or over several
// connections (ParallelWalk). cancel(), from any thread, is the view's
// Cancel: the connection gives up its wait at once and the walk ends,
// keeping what it stored.
class HostScanner
{
public:
    static constexpr int MaxDepth = WorkList::DefaultMaxDepth;
    static constexpr int ReconnectTries = WalkContext::ReconnectTries;
    // Logged-on connections a scan lists over where listings need data
    // connections; measured (bench_scan) and polite to public servers.
    static constexpr int DefaultConnections = 4;
    static constexpr int MaxConnections = 16;

    HostScanner(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log, HostSource &hosts,
                UserMessages &messages, ScanView &view);

    // Runs after the walk, closed connection and hidden view (the browser
    // rebuilds its tree there).
    void setAfterScan(std::function<void()> f) { m_afterScan = std::move(f); }
    // Pause between reconnection tries, in ms; grows with each try.
    void setRetryPause(int ms) { m_context.setRetryPause(ms); }

    // A server that makes up folders forever meets one of these; the log
    // says which. maxEntries 0: no cap.
    struct Limits
    {
        int maxDepth = MaxDepth;
        qint64 maxEntries = 0;
    };
    void setLimits(const Limits &limits);
    // Off: a scan of a host whose last scan was interrupted starts at the
    // top, rather than carrying on from the folders it left.
    void setResume(bool on) { m_resume = on; }
    // Lists only below this folder (names as listed, joined by "/"; "" the top).
    void setStartFolder(const QByteArray &path)
    {
        m_startPath = path;
        m_context.setStartFolder(path);
    }
    // Off: one listing at a time on every server.
    void setPipelining(bool on) { m_pipelining = on; }
    // At most this many connections at once (1 to MaxConnections); servers
    // that list on the control connection are walked over one.
    void setConnections(int n) { m_connections = qBound(1, n, MaxConnections); }
    int connections() const { return m_connections; }

    void ScanHost();
    bool isRunning() const { return m_running; }
    void cancel() { m_context.cancel(); }
    // Before a new scan: a Cancel given before the walk starts is kept, so
    // the caller clears the flag when the scan is asked for, not ScanHost().
    void resetCancel() { m_context.resetCancel(); }
    bool isCancelled() const { return m_context.isCancelled(); }
    // For a signal handler: storing true is all cancel() does.
    std::atomic_bool *cancelFlag() { return m_context.cancelFlag(); }

    using Stats = ScanStats;
    Stats stats() const { return m_context.stats(); }
    // The last scan as the catalogue records it; its run is 0 when it was
    // not recorded (the catalogue failed, or the host was being scanned).
    const ScanRun &lastRun() const { return m_lastRun; }
    // What changed is kept for the last n runs of a host ([SCAN] Keep Runs).
    void setKeepRuns(int n) { m_keepRuns = qMax(1, n); }
    static constexpr int DefaultKeepRuns = 10;

    // The closing lines follow the scan-time line, which a window on another
    // thread writes only when it hears the scan has ended: it then logs them
    // itself from the stats.
    void setDeferClosingLines(bool defer) { m_deferClosing = defer; }

    static qint64 progressPosition(qint64 entries, int directories, qsizetype pending, int maximum)
    {
        return WalkContext::progressPosition(entries, directories, pending, maximum);
    }

private:
    bool claimHost();
    void beat();
    void connect();
    void walk();
    void finish();
    QStringList closingLines() const;
    void logHowItEnded();
    void recordRun();

    ScanConnection &m_connection;
    Catalogue &m_catalogue;
    ActivityLog &m_log;
    HostSource &m_hosts;
    UserMessages &m_messages;
    ScanView &m_view;
    std::function<void()> m_afterScan;
    bool m_pipelining = true;
    bool m_resume = true;
    int m_connections = DefaultConnections;
    bool m_running = false;
    QDateTime m_started; // UTC, for the catalogue's record of the run
    bool m_deferClosing = false;
    int m_keepRuns = DefaultKeepRuns;
    ScanRun m_lastRun;
    QByteArray m_startPath;
    WalkContext m_context;
    QElapsedTimer m_heartbeat; // since the host's ScanLock row was last refreshed
};
