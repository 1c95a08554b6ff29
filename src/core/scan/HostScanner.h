#pragma once
#include "core/catalogue/ScanChanges.h"
#include "LinkResolver.h"

#include <QByteArrayList>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>

class ActivityLog;
class Catalogue;
class HostSource;
class ScanConnection;
class ScanView;
class UserMessages;
struct FindData;

// Walks a host's whole tree one listing at a time, depth first, storing every
// entry under the ID of the folder that holds it. The view's shown state is
// the go-ahead: hiding it (Cancel) ends the walk at the start of a pass.
class HostScanner
{
public:
    static constexpr int MaxDepth = 256;
    static constexpr int ReconnectTries = 3;

    HostScanner(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log, HostSource &hosts,
                UserMessages &messages, ScanView &view);

    // Runs after the walk, closed connection and hidden view (the browser
    // rebuilds its tree there).
    void setAfterScan(std::function<void()> f) { m_afterScan = std::move(f); }
    // Pause between reconnection tries, in ms; grows with each try.
    void setRetryPause(int ms) { m_retryPauseMs = ms; }

    void ScanHost();
    bool isRunning() const { return m_running; }

    struct Stats
    {
        qint64 entries = 0;
        int directories = 0;
        int listed = 0;
        int failed = 0;
        int passedOver = 0;
        bool terminated = false;
        qint64 added = 0;
        qint64 changed = 0;
        qint64 removed = 0;
    };
    Stats stats() const { return m_stats; }

    static qint64 progressPosition(qint64 entries, int directories, qsizetype pending, int maximum);

private:
    void walk();
    void startPass();
    bool ensureAlive();
    void listOne();
    void storeListing(const QList<FindData> &entries, qint32 parentId, const QByteArray &path);
    void prefetchNext(const QList<FindData> &entries, const QByteArray &path);
    bool shouldDescend(const FindData &e, const QByteArray &childPath);
    void noteOutcome(qint32 id);
    void dropQueued(const QByteArray &path, const QByteArray &realPath);
    void removeUnlisted();
    void passOver(const QByteArray &path, const QString &why);
    void finish();
    QString shown(const QByteArray &path) const;

    ScanConnection &m_connection;
    Catalogue &m_catalogue;
    ActivityLog &m_log;
    HostSource &m_hosts;
    UserMessages &m_messages;
    ScanView &m_view;
    std::function<void()> m_afterScan;
    int m_retryPauseMs = 500;

    bool m_running = false;
    bool m_wasConnected = false;
    bool m_lost = false; // reconnecting failed: the walk ends
    Stats m_stats;
    QString m_host;
    QByteArrayList m_work;
    QList<qint32> m_parents;
    // Parallel to m_parents: the folder's row is new in this scan, so its
    // listing cannot meet rows stored before.
    QList<bool> m_fresh;
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
    qint64 m_baseCount = 0;
    qint64 m_insertedAtStart = 0;
};
