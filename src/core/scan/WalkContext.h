#pragma once
#include "core/catalogue/PendingFolders.h"
#include "core/catalogue/ScanChanges.h"
#include "core/catalogue/UnlistedRows.h"
#include "core/ftp/FtpSession.h"
#include "LinkResolver.h"
#include "LoopGuard.h"
#include "ScanStats.h"
#include "WorkList.h"

#include <atomic>
#include <functional>
#include <optional>

class ActivityLog;
class Catalogue;
class FolderWalk;
class ScanConnection;
class ScanView;

// What every walk of a host shares: the folders still to list, storing a
// listing under its folder's ID, the counts, Cancel and the reconnection.
// Used on the thread that owns the catalogue; cancel() from any thread.
class WalkContext
{
public:
    using Folder = WorkList::Folder;
    static constexpr int ReconnectTries = 3;
    // "Passed over" lines named in a scan's log; the rest are counted.
    static constexpr int NamedPassOvers = 10;
    // Entries stored between looks at Cancel within one listing: about 20 ms.
    static constexpr int CancelCheckEvery = 1024;

    WalkContext(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log, ScanView &view);

    static qint64 progressPosition(qint64 entries, int directories, qsizetype pending, int maximum);
    // As the log names a folder: "/pub/docs".
    static QString shown(const QByteArray &path) { return u'/' + QString::fromUtf8(path); }
    static bool nothingListed(const FtpSession::Listing &listing) { return !listing.ok && listing.entries.isEmpty(); }

    // Pause between reconnection tries, in ms; grows with each try.
    void setRetryPause(int ms) { m_retryPauseMs = ms; }
    int retryPauseMs() const { return m_retryPauseMs; }
    // Called at the start of every pass; must be cheap.
    void setKeepAlive(std::function<void()> f) { m_keepAlive = std::move(f); }
    // 0: no cap.
    void setEntryLimit(qint64 entries) { m_maxEntries = entries; }

    // A scan of host: begin(), startWork() and beginStoring() before the
    // walks, endStoring() after a walk that did not throw, clear() last.
    void begin(const QString &host);
    void setConnected(bool connected);
    // Where the walk starts: the listed names of a folder joined by "/", ""
    // (the top) unless set. Before startWork().
    void setStartFolder(const QByteArray &path) { m_startPath = path; }
    // Carries on from the folders an interrupted scan of the host left, when
    // there are some and resume is true; else starts at the start folder.
    // Throws CatalogueError.
    void startWork(bool resume);
    // Folders an earlier part of this scan left when startWork() resumed; 0: started at the top.
    qint64 resumedFolders() const { return m_resumed; }
    void beginStoring();
    void endStoring();
    void clear();
    // The walk's own folders can be withdrawn while it runs.
    void run(FolderWalk &walk);

    const QString &host() const { return m_host; }
    ScanStats &stats() { return m_stats; }
    const ScanStats &stats() const { return m_stats; }
    WorkList &work() { return m_work; }
    const LinkResolver &links() const { return m_links; }
    ScanConnection &connection() { return m_connection; }
    ScanView &view() { return m_view; }
    ActivityLog &log() { return m_log; }
    bool wasConnected() const { return m_wasConnected; }

    void cancel() { m_cancel.store(true); }
    void resetCancel() { m_cancel.store(false); }
    bool isCancelled() const { return m_cancel.load(); }
    std::atomic_bool *cancelFlag() { return &m_cancel; }
    // Reconnecting failed: the walk ends.
    bool isLost() const { return m_lost; }
    void markLost() { m_lost = true; }
    // Neither cancelled, nor lost, nor at the entry limit.
    bool going();
    // The connection is gone with folders left, or reconnecting failed.
    bool lostForGood();
    bool entryLimitReached();

    // pending: the folders not yet stored, the one about to be counted in.
    void startPass(qsizetype pending);
    bool ensureAlive();

    // False, with the folder passed over, when it lies deeper than the limit.
    bool admit(const Folder &folder);
    // Up to most of the newest folders waiting that admit() lets through,
    // in the order found: for walks that keep their own queue.
    template<typename F>
    void takeFound(qsizetype most, F &&take)
    {
        m_work.take(most, [&](const Folder &f) {
            if (admit(f))
                take(f);
        });
    }
    // False, with the folder reported as not listed, when the listing brought nothing.
    bool somethingListed(const Folder &folder, const FtpSession::Listing &listing);
    void storeListed(const Folder &folder, const FtpSession::Listing &listing);
    // The folder is not listed in this scan.
    void giveUp(const Folder &folder, const QString &error);
    void passOver(const QByteArray &path, const QString &why);
    // For the scan's closing lines: how many were passed over past those
    // named, and the depth limit where it was met.
    QStringList passOverSummary() const;
    // A path as log lines show it: control bytes as symbols, a long one
    // with its middle left out.
    static QString logged(const QByteArray &path);

private:
    void startAtFolder();
    bool storeListing(const QList<FileEntry> &entries, qint32 parentId, const QByteArray &path);
    void reportUnlisted(const QByteArray &path, const QString &error);
    bool shouldDescend(const FileEntry &e, const QByteArray &childPath);
    bool listsAsAbove(const QList<FileEntry> &entries, qint32 id, const QByteArray &path);
    void noteOutcome(qint32 id);
    void dropQueued(const QByteArray &path, const QByteArray &realPath);
    void removeUnlisted();
    void noteUnreadable(int lines, const QByteArrayList &samples, const QByteArray &path);
    void pause(int ms);

    QByteArray m_startPath;
    ScanConnection &m_connection;
    Catalogue &m_catalogue;
    ActivityLog &m_log;
    ScanView &m_view;
    int m_retryPauseMs = 500;
    qint64 m_maxEntries = 0;
    FolderWalk *m_walk = nullptr; // while a walk runs
    std::function<void()> m_keepAlive;

    std::atomic_bool m_cancel{false};
    bool m_wasConnected = false;
    bool m_lost = false;
    ScanStats m_stats;
    QString m_host;
    WorkList m_work;
    LinkResolver m_links;
    LoopGuard m_loops;
    ScanChanges m_changes;
    // Both in the catalogue while a connected scan runs; see WorkList.
    std::optional<PendingFolders> m_pending;
    std::optional<UnlistedRows> m_unlisted;
    qint64 m_resumed = 0;
    qint64 m_baseCount = 0;
    qint64 m_insertedAtStart = 0;
};
