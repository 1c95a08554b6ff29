#pragma once
#include "core/catalogue/ScanChanges.h"
#include "LinkResolver.h"
#include "core/ftp/FtpSession.h"

#include <QByteArrayList>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class ActivityLog;
class Catalogue;
class HostSource;
class ParallelWalk;
class PipelinedWalk;
class ScanConnection;
class ScanView;
class UserMessages;
struct FindData;

// Walks a host's whole tree, storing every entry under the ID of the folder
// that holds it: one listing at a time, depth first, or, on servers that list
// on the control connection and answer pipelined commands in order, with
// several listings in flight (PipelinedWalk). cancel(), from any thread,
// is the view's Cancel: the connection gives up its wait at once and the
// walk ends, keeping what it stored.
class HostScanner
{
public:
    static constexpr int MaxDepth = 256;
    static constexpr int ReconnectTries = 3;
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
    void setRetryPause(int ms) { m_retryPauseMs = ms; }

    // A server that makes up folders forever meets one of these; the log
    // says which. maxEntries 0: no cap.
    struct Limits
    {
        int maxDepth = MaxDepth;
        qint64 maxEntries = 0;
    };
    void setLimits(const Limits &limits) { m_limits = limits; }
    // Off: one listing at a time on every server.
    void setPipelining(bool on) { m_pipelining = on; }
    // At most this many connections at once (1 to MaxConnections); servers
    // that list on the control connection are walked over one.
    void setConnections(int n) { m_connections = qBound(1, n, MaxConnections); }
    int connections() const { return m_connections; }

    void ScanHost();
    bool isRunning() const { return m_running; }
    void cancel() { m_cancel.store(true); }
    // Before a new scan: a Cancel given before the walk starts is kept, so
    // the caller clears the flag when the scan is asked for, not ScanHost().
    void resetCancel() { m_cancel.store(false); }
    bool isCancelled() const { return m_cancel.load(); }
    // For a signal handler: storing true is all cancel() does.
    std::atomic_bool *cancelFlag() { return &m_cancel; }

    struct Stats
    {
        qint64 entries = 0;
        int directories = 0;
        int listed = 0;
        int failed = 0;
        int passedOver = 0;
        qint64 unreadLines = 0; // listing lines no parser could read
        int unreadFolders = 0;  // folders whose listing had such lines
        bool terminated = false;
        bool loggedOn = false;
        bool cancelled = false;
        bool entryLimitReached = false;
        bool depthLimitReached = false;
        // The catalogue refused the scan or failed under it (a shared
        // database lost, or the host being scanned by another writer).
        bool catalogueFailed = false;
        qint64 added = 0;
        qint64 changed = 0;
        qint64 removed = 0;
        // The lines that follow the scan-time line, in order.
        QStringList closingLines;
        bool pipelined = false; // listings were kept in flight
        int connections = 1;    // the most that listed at once
    };
    Stats stats() const { return m_stats; }

    // The closing lines follow the scan-time line, which a window on another
    // thread writes only when it hears the scan has ended: it then logs them
    // itself from the stats.
    void setDeferClosingLines(bool defer) { m_deferClosing = defer; }

    static qint64 progressPosition(qint64 entries, int directories, qsizetype pending, int maximum);

private:
    // Share the storing, the counts and the reconnection.
    friend class PipelinedWalk;
    friend class ParallelWalk;

    bool claimHost();
    void walk();
    void startPass(qsizetype pending);
    bool ensureAlive();
    void listOne();
    struct Pending;
    void storeListed(const Pending &folder, const FtpSession::Listing &listing);
    void reportUnlisted(const QByteArray &path, const QString &error);
    void storeListing(const QList<FindData> &entries, qint32 parentId, const QByteArray &path);
    void prefetchNext(const QList<FindData> &entries, const QByteArray &path);
    bool shouldDescend(const FindData &e, const QByteArray &childPath);
    bool entryLimitReached();
    void noteOutcome(qint32 id);
    void dropQueued(const QByteArray &path, const QByteArray &realPath);
    void removeUnlisted();
    void passOver(const QByteArray &path, const QString &why);
    void noteUnreadable(int lines, const QByteArrayList &samples, const QByteArray &path);
    void finish();
    QStringList closingLines() const;
    void logHowItEnded();
    void pause(int ms);
    QString shown(const QByteArray &path) const;

    ScanConnection &m_connection;
    Catalogue &m_catalogue;
    ActivityLog &m_log;
    HostSource &m_hosts;
    UserMessages &m_messages;
    ScanView &m_view;
    std::function<void()> m_afterScan;
    int m_retryPauseMs = 500;
    Limits m_limits;
    bool m_pipelining = true;
    int m_connections = DefaultConnections;
    ParallelWalk *m_parallel = nullptr; // while a walk over several connections runs

    bool m_running = false;
    bool m_wasConnected = false;
    bool m_lost = false; // reconnecting failed: the walk ends
    std::atomic_bool m_cancel{false};
    Stats m_stats;
    QString m_host;
    QDateTime m_started; // UTC, for the catalogue's record of the run
    // A folder still to list, and where its entries go.
    struct Pending
    {
        QByteArray path;
        qint32 parentId = 0;
        // The folder's row is new in this scan: its listing cannot meet rows stored before.
        bool fresh = false;
    };
    QList<Pending> m_work;
    LinkResolver m_links;
    ScanChanges m_changes;
    // Rows that successfully listed folders no longer hold, by folder path:
    // removed only when the walk ends complete, never on doubt.
    struct Unlisted
    {
        QList<qint32> ids;
        QByteArray folder;
    };
    QList<Unlisted> m_unlisted;
    bool m_deferClosing = false;
    qint64 m_baseCount = 0;
    qint64 m_insertedAtStart = 0;
};
