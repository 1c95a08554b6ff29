#include "HostScanner.h"
#include "core/base/ActivityLog.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/ScanRuns.h"
#include "core/ftp/FtpSession.h"
#include "HostSource.h"
#include "ParallelWalk.h"
#include "PipelinedWalk.h"
#include "ScanConnection.h"
#include "ScanView.h"
#include "core/base/UserMessages.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cmath>

HostScanner::HostScanner(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log,
                         HostSource &hosts, UserMessages &messages, ScanView &view)
    : m_connection(connection)
    , m_catalogue(catalogue)
    , m_log(log)
    , m_hosts(hosts)
    , m_messages(messages)
    , m_view(view)
    , m_links(connection)
    , m_changes(catalogue)
{
}

// Double precision in exactly this order; halfway goes to the even integer.
qint64 HostScanner::progressPosition(qint64 entries, int directories, qsizetype pending, int maximum)
{
    const double perDir = double(entries) / double(directories);
    return qint64(std::nearbyint(perDir / double(pending) * double(maximum)));
}

QString HostScanner::shown(const QByteArray &path) const
{
    return u'/' + QString::fromUtf8(path);
}

void HostScanner::ScanHost()
{
    if (m_running)
        return;
    m_running = true;
    m_stats = Stats();
    m_lost = false;
    m_host = m_hosts.CurrentHost();
    m_started = QDateTime::currentDateTimeUtc();
    if (!claimHost()) {
        m_running = false;
        return;
    }
    m_connection.setCancelFlag(&m_cancel);
    // A connection opened by hand is closed first, with its closed line.
    if (m_connection.isConnected())
        m_connection.CloseConnection();
    m_connection.ConnectToHost();
    m_wasConnected = m_connection.isConnected();
    m_stats.loggedOn = m_wasConnected;
    m_view.showView();
    m_work = {Pending{}};
    m_catalogue.forgetFolder();
    m_links.clear();
    m_unlisted.clear();
    try {
        m_baseCount = m_catalogue.recordCount();
        m_insertedAtStart = m_catalogue.insertedCount();
        if (m_wasConnected) {
            const QString stored = m_host.left(Catalogue::HostSize);
            // Names stored with another code page are decoded again first, so
            // that the whole host reads alike.
            ExactNames::recodeIfChanged(m_catalogue, stored, m_connection.codePage());
            m_changes.begin(stored);
        }
        walk();
        // Only a walk that ended complete removes: a cancel or an entry limit
        // may have cut the last listing's storing short.
        if (m_work.isEmpty() && !m_stats.terminated && !m_cancel.load() && !m_stats.entryLimitReached)
            removeUnlisted();
        m_catalogue.flush();
    } catch (const CatalogueError &e) {
        m_stats.catalogueFailed = true;
        m_messages.showMessage(e.message());
    }
    finish();
}

// A shared catalogue takes one scan of a host at a time: a second one would
// store the host's entries again.
bool HostScanner::claimHost()
{
    try {
        if (m_catalogue.lockHost(m_host))
            return true;
        m_messages.showMessage(QStringLiteral("Host %1 is being scanned by another scanner of this catalogue; "
                                              "scan it again when that scan has ended")
                                   .arg(m_host));
    } catch (const CatalogueError &e) {
        m_messages.showMessage(e.message());
    }
    m_stats.catalogueFailed = true;
    return false;
}

void HostScanner::walk()
{
    PipelinedWalk pipelined(*this);
    ParallelWalk parallel(*this);
    if (m_pipelining && pipelined.start()) {
        pipelined.run();
    } else if (parallel.start(m_connections)) {
        m_parallel = &parallel;
        parallel.run();
        m_parallel = nullptr;
    }
    while (!m_work.isEmpty() && !m_cancel.load() && !entryLimitReached()) {
        if (m_lost || !ensureAlive())
            break;
        startPass(m_work.size());
        listOne();
    }
    // Lost for good, even on the last folder left: said once.
    if (!m_cancel.load() && (m_lost || (!m_work.isEmpty() && m_wasConnected && !m_connection.isAlive()))) {
        m_stats.terminated = true;
        m_messages.showMessage(QStringLiteral("Terminated"));
    }
}

// pending: the folders not yet stored, the one about to be counted in.
void HostScanner::startPass(qsizetype pending)
{
    if (m_stats.directories != 0)
        m_view.setProgress(progressPosition(m_stats.entries, m_stats.directories, pending,
                                            m_view.progressMaximum()));
    m_view.setCounts(m_stats.directories,
                     m_baseCount + m_catalogue.insertedCount() - m_insertedAtStart);
    m_view.repaintView();
    m_view.pumpEvents();
}

// Sleeps in short steps, so Cancel ends the pause at once.
void HostScanner::pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !m_cancel.load()) {
        m_view.pumpEvents();
        QThread::msleep(qMin<qint64>(20, ms - clock.elapsed() + 1));
    }
}

// A lost connection is opened again, a few times with a growing pause, before
// the scan gives up; everything stored so far stays.
bool HostScanner::ensureAlive()
{
    if (!m_wasConnected)
        return true; // never connected: the first listing fails and the walk ends
    if (m_connection.isAlive())
        return true;
    m_catalogue.flush();
    for (int i = 1; i <= ReconnectTries && !m_cancel.load(); ++i) {
        pause(m_retryPauseMs * i);
        if (!m_cancel.load() && m_connection.reconnect())
            return true;
    }
    return false;
}

void HostScanner::listOne()
{
    const Pending folder = m_work.takeLast();
    const QByteArray &path = folder.path;
    if (path.count('/') + 1 > m_limits.maxDepth) {
        m_stats.depthLimitReached = true;
        passOver(path, QStringLiteral("deeper than the depth limit of %1 levels").arg(m_limits.maxDepth));
        return;
    }
    m_view.setCurrentFolder(shown(path));
    FtpSession::Listing listing = m_connection.list(path);
    if (!listing.ok && m_cancel.load())
        return; // cut short by Cancel: not a fault of the folder, and the next scan lists it
    // A listing that timed out is not asked for again: it would cost the
    // same wait a second time.
    if (!listing.ok && !listing.timedOut && m_wasConnected && !m_connection.isAlive()) {
        if (!ensureAlive()) {
            m_lost = true;
            return;
        }
        listing = m_connection.list(path);
    }
    if (!listing.ok && listing.entries.isEmpty()) {
        if (!m_wasConnected)
            return; // never connected: the log already says the host is not available
        reportUnlisted(path, listing.error);
        return;
    }
    m_view.pumpEvents();
    prefetchNext(listing.entries, path);
    storeListed(folder, listing);
}

void HostScanner::storeListed(const Pending &folder, const FtpSession::Listing &listing)
{
    const QByteArray &path = folder.path;
    const bool fresh = !path.isEmpty() && folder.fresh;
    m_catalogue.beginListing(folder.parentId, m_host, fresh);
    ++m_stats.listed;
    storeListing(listing.entries, folder.parentId, path);
    noteUnreadable(listing.badLines, listing.badSamples, path);
    // A line the parser could not read may be an entry: no removal on doubt.
    if (listing.ok && listing.badLines == 0 && !fresh) {
        if (QList<qint32> gone = m_catalogue.unlisted(); !gone.isEmpty())
            m_unlisted.append({std::move(gone), path});
    }
    // What came before a failure stays stored; the folder still counts as not listed.
    if (!listing.ok)
        reportUnlisted(path, listing.error);
}

void HostScanner::reportUnlisted(const QByteArray &path, const QString &error)
{
    ++m_stats.failed;
    m_log.LogLine(QStringLiteral("   Could not list %1: %2").arg(shown(path), error), false);
}

void HostScanner::storeListing(const QList<FindData> &entries, qint32 parentId, const QByteArray &path)
{
    for (const FindData &e : entries) {
        if (e.wireName == "." || e.wireName == "..")
            continue;
        if (entryLimitReached())
            return;
        const qint32 id = m_catalogue.StoreEntry(e, parentId, m_host);
        ++m_stats.entries;
        noteOutcome(id);
        if (!e.isDirectory())
            continue;
        const QByteArray child = path.isEmpty() ? e.wireName : path + '/' + e.wireName;
        if (!shouldDescend(e, child))
            continue;
        ++m_stats.directories;
        m_work.append(Pending{child, id, m_catalogue.lastWasNew()});
    }
}

// The folder the walk will list next: the last subfolder of this listing, or
// else the one on top of the work list. Asking for it now lets the server
// prepare it while this listing is stored.
void HostScanner::prefetchNext(const QList<FindData> &entries, const QByteArray &path)
{
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (!it->isDirectory() || it->wireName == "." || it->wireName == "..")
            continue;
        if (!FtpSession::safeInPath(it->wireName) || m_links.seen(it->unique))
            continue;
        const QByteArray child = path.isEmpty() ? it->wireName : path + '/' + it->wireName;
        if (child.count('/') + 1 <= m_limits.maxDepth)
            m_connection.prefetch(child);
        return;
    }
    if (!m_work.isEmpty())
        m_connection.prefetch(m_work.last().path);
}

bool HostScanner::shouldDescend(const FindData &e, const QByteArray &childPath)
{
    if (!FtpSession::safeInPath(e.wireName)) {
        passOver(childPath, QStringLiteral("its name cannot be sent back to the server"));
        return false;
    }
    // Servers that follow links list a folder again under another name;
    // MLSD's "unique" fact tells, and LIST tells which name is the link.
    const LinkResolver::Decision d = m_links.meet(e.unique, childPath);
    if (d.verdict == LinkResolver::Verdict::PassOver) {
        passOver(childPath, QStringLiteral("already listed under another name"));
        return false;
    }
    if (d.verdict == LinkResolver::Verdict::DescendInstead)
        dropQueued(d.earlier, childPath);
    return true;
}

bool HostScanner::entryLimitReached()
{
    if (m_limits.maxEntries <= 0 || m_stats.entries < m_limits.maxEntries)
        return false;
    if (!m_stats.entryLimitReached)
        m_log.LogLine(QStringLiteral("   Scan stopped: the entry limit of %1 was reached").arg(m_limits.maxEntries), false);
    m_stats.entryLimitReached = true;
    return true;
}

// A link met before its folder: when it is still waiting to be listed, the
// folder is listed instead. Listed already, its rows stay where it showed them.
void HostScanner::dropQueued(const QByteArray &path, const QByteArray &realPath)
{
    const auto it = std::find_if(m_work.begin(), m_work.end(), [&path](const Pending &p) { return p.path == path; });
    if (it != m_work.end())
        m_work.erase(it);
    else if (!m_parallel || !m_parallel->withdraw(path))
        return;
    --m_stats.directories;
    passOver(path, QStringLiteral("a link to %1").arg(shown(realPath)));
}

void HostScanner::noteOutcome(qint32 id)
{
    switch (m_catalogue.lastOutcome()) {
    case Catalogue::Outcome::Added:
        ++m_stats.added;
        m_changes.added(id);
        break;
    case Catalogue::Outcome::Changed:
        ++m_stats.changed;
        m_changes.changed(id);
        break;
    case Catalogue::Outcome::Unchanged:
        break;
    }
}

void HostScanner::removeUnlisted()
{
    for (const Unlisted &u : std::as_const(m_unlisted))
        m_stats.removed += m_changes.removeSubtrees(u.ids, u.folder);
    m_unlisted.clear();
}

void HostScanner::passOver(const QByteArray &path, const QString &why)
{
    ++m_stats.passedOver;
    m_log.LogLine(QStringLiteral("   Passed over %1: %2").arg(shown(path), why), false);
}

// Said before the scan-time line, so the log tells a scan cut short from a
// complete one.
void HostScanner::logHowItEnded()
{
    m_stats.cancelled = m_cancel.load();
    if (m_stats.cancelled)
        m_log.LogLine(QStringLiteral("   Scan cancelled: what was found so far is stored"), false);
    else if (!m_wasConnected)
        m_log.LogLine(QStringLiteral("   Scan stopped: could not log on to %1").arg(m_host), false);
    else if (m_stats.catalogueFailed)
        m_log.LogLine(QStringLiteral("   Scan stopped: the catalogue could not store more; what was committed stays"),
                      false);
    else if (m_stats.terminated)
        m_log.LogLine(QStringLiteral("   Scan stopped: the connection to %1 was lost").arg(m_host), false);
}

// A listing format no parser reads must never pass for an empty folder: the
// lines are counted and the first few shown with their folder.
void HostScanner::noteUnreadable(int lines, const QByteArrayList &samples, const QByteArray &path)
{
    if (lines == 0)
        return;
    m_stats.unreadLines += lines;
    ++m_stats.unreadFolders;
    m_log.LogLine(QStringLiteral("   %1 listing lines could not be read in %2").arg(lines).arg(shown(path)), false);
    for (const QByteArray &line : samples) {
        QString text = QString::fromUtf8(line.left(160));
        for (QChar &c : text) {
            if (c.category() == QChar::Other_Control)
                c = u'?';
        }
        m_log.LogLine(QStringLiteral("      %1").arg(text), false);
    }
}

QStringList HostScanner::closingLines() const
{
    QStringList lines;
    if (m_stats.failed > 0)
        lines << QStringLiteral("   Folders that could not be listed: %1").arg(m_stats.failed);
    if (m_stats.unreadLines > 0)
        lines << QStringLiteral("   Listing lines that could not be read: %1 in %2 folders")
                     .arg(m_stats.unreadLines)
                     .arg(m_stats.unreadFolders);
    if (m_wasConnected)
        lines << QStringLiteral("   Added %1, changed %2, removed %3")
                     .arg(m_stats.added)
                     .arg(m_stats.changed)
                     .arg(m_stats.removed);
    return lines;
}

void HostScanner::finish()
{
    if (!m_stats.catalogueFailed) // a failed catalogue has been reported once already
        ScanRuns(m_catalogue.database()).record(m_host, m_started, QDateTime::currentDateTimeUtc(), m_messages);
    m_catalogue.unlockHost(m_host);
    m_connection.CloseConnection();
    logHowItEnded();
    m_view.hideView();
    m_stats.closingLines = closingLines();
    if (!m_deferClosing) {
        for (const QString &line : std::as_const(m_stats.closingLines))
            m_log.LogLine(line, false);
    }
    m_work.clear();
    m_unlisted.clear();
    m_running = false;
    if (m_afterScan)
        m_afterScan();
}
