#include "WalkContext.h"
#include "core/base/ActivityLog.h"
#include "core/base/ListedTime.h"
#include "core/base/ElidedText.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ExactNames.h"
#include "core/ftp/ListingDecoder.h"
#include "FolderWalk.h"
#include "ScanConnection.h"
#include "ScanView.h"

#include <algorithm>
#include <QElapsedTimer>
#include <QThread>
#include <cmath>

WalkContext::WalkContext(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log, ScanView &view)
    : m_connection(connection)
    , m_catalogue(catalogue)
    , m_log(log)
    , m_view(view)
    , m_links(connection)
    , m_changes(catalogue)
{
    // A folder waiting in the catalogue only is listed as if it had no
    // folder above it: a loop below it costs one level more, and the guard
    // stays as small as the work list's window.
    m_work.setOnSpill([this](const Folder &f) { m_loops.drop(f.parentId); });
}

// Double precision in exactly this order; halfway goes to the even integer.
qint64 WalkContext::progressPosition(qint64 entries, int directories, qsizetype pending, int maximum)
{
    const double perDir = double(entries) / double(directories);
    return qint64(std::nearbyint(perDir / double(pending) * double(maximum)));
}

void WalkContext::begin(const QString &host)
{
    m_stats = ScanStats();
    m_lost = false;
    m_host = host;
}

void WalkContext::setConnected(bool connected)
{
    m_wasConnected = connected;
    m_stats.loggedOn = connected;
}

void WalkContext::startWork(bool resume)
{
    m_catalogue.forgetFolder();
    m_links.clear();
    m_resumed = 0;
    // Without a connection nothing is listed: what an interrupted scan left stays for the next.
    if (!m_wasConnected || !m_catalogue.isOpen()) {
        m_work.startAtTop();
        return;
    }
    const QString stored = m_host.left(Catalogue::HostSize);
    m_catalogue.beginWrite();
    m_pending.emplace(m_catalogue.database(), stored);
    m_unlisted.emplace(m_catalogue.database(), stored);
    m_work.setStore(&*m_pending);
    if (resume && m_pending->count() > 0) {
        m_pending->dropInsideWaiting();
        m_resumed = m_work.resume();
        m_log.LogLine(QStringLiteral("   Resuming the scan of %1: %2 folders left").arg(m_host).arg(m_resumed), false);
        return;
    }
    m_unlisted->clear();
    startAtFolder();
}

// The folders above the start are rows of their own, found or added, so
// that the paths of what is listed below stay whole; nothing above is
// listed, so nothing there is removed.
void WalkContext::startAtFolder()
{
    if (m_startPath.isEmpty()) {
        m_work.startAtTop();
        return;
    }
    const QString stored = m_host.left(Catalogue::HostSize);
    qint32 parent = 0;
    for (const QByteArray &step : m_startPath.split('/')) {
        FileEntry folder;
        folder.wireName = step;
        folder.name = ListingDecoder::visibleName(ExactNames::decode(step, m_connection.codePage()));
        folder.kind = FileEntry::Kind::Directory;
        folder.sizeKnown = false;
        parent = m_catalogue.keepFolder(folder, parent, stored);
    }
    m_work.startAt(Folder{m_startPath, parent, m_catalogue.lastWasNew()});
}

void WalkContext::beginStoring()
{
    m_baseCount = m_catalogue.recordCount();
    m_insertedAtStart = m_catalogue.insertedCount();
    if (!m_wasConnected)
        return;
    const QString stored = m_host.left(Catalogue::HostSize);
    // Names stored with another code page are decoded again first, so that
    // the whole host reads alike.
    ExactNames::recodeIfChanged(m_catalogue, stored, m_connection.codePage());
    if (m_resumed > 0)
        m_changes.carryOn(stored);
    else
        m_changes.begin(stored);
}

void WalkContext::endStoring()
{
    // Only a walk that ended complete removes: a cancel or an entry limit
    // may have cut the last listing's storing short.
    if (m_work.isEmpty() && !m_stats.terminated && !isCancelled() && !m_stats.entryLimitReached && !m_lost)
        removeUnlisted();
    m_catalogue.flush();
}

void WalkContext::clear()
{
    m_work.clear();
    m_work.setStore(nullptr);
    m_pending.reset();
    m_unlisted.reset();
}

void WalkContext::run(FolderWalk &walk)
{
    m_walk = &walk;
    walk.run();
    m_walk = nullptr;
}

bool WalkContext::going()
{
    return !isCancelled() && !m_lost && !entryLimitReached();
}

bool WalkContext::lostForGood()
{
    return m_lost || (!m_work.isEmpty() && m_wasConnected && !m_connection.isAlive());
}

bool WalkContext::entryLimitReached()
{
    if (m_maxEntries <= 0 || m_stats.entries < m_maxEntries)
        return false;
    if (!m_stats.entryLimitReached)
        m_log.LogLine(
            QStringLiteral("   Scan stopped: the entry limit of %1 was reached ([SCAN] Max Entries, --max-entries)")
                .arg(m_maxEntries),
            false);
    m_stats.entryLimitReached = true;
    return true;
}

void WalkContext::startPass(qsizetype pending)
{
    if (m_keepAlive)
        m_keepAlive();
    if (m_stats.directories != 0)
        m_view.setProgress(progressPosition(m_stats.entries, m_stats.directories, pending, m_view.progressMaximum()));
    m_view.setCounts(m_stats.directories, m_baseCount + m_catalogue.insertedCount() - m_insertedAtStart);
    m_view.repaintView();
    m_view.pumpEvents();
}

// Sleeps in short steps, so Cancel ends the pause at once.
void WalkContext::pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !isCancelled()) {
        m_view.pumpEvents();
        QThread::msleep(qMin<qint64>(20, ms - clock.elapsed() + 1));
    }
}

// A lost connection is opened again, a few times with a growing pause, before
// the scan gives up; everything stored so far stays.
bool WalkContext::ensureAlive()
{
    if (!m_wasConnected)
        return true; // never connected: the first listing fails and the walk ends
    if (m_connection.isAlive())
        return true;
    m_catalogue.flush();
    for (int i = 1; i <= ReconnectTries && !isCancelled(); ++i) {
        pause(m_retryPauseMs * i);
        if (!isCancelled() && m_connection.reconnect())
            return true;
    }
    return false;
}

bool WalkContext::admit(const Folder &folder)
{
    if (!m_work.tooDeep(folder.path))
        return true;
    m_work.done(folder);
    m_stats.depthLimitReached = true;
    m_loops.drop(folder.parentId);
    passOver(folder.path, QStringLiteral("deeper than the depth limit of %1 levels").arg(m_work.maxDepth()));
    return false;
}

bool WalkContext::somethingListed(const Folder &folder, const FtpSession::Listing &listing)
{
    if (!nothingListed(listing))
        return true;
    // Never connected (only the one-at-a-time walk runs then): the log
    // already says the host is not available.
    if (m_wasConnected)
        giveUp(folder, listing.error);
    return false;
}

void WalkContext::giveUp(const Folder &folder, const QString &error)
{
    m_work.done(folder);
    reportUnlisted(folder.path, error);
}

void WalkContext::storeListed(const Folder &folder, const FtpSession::Listing &listing)
{
    const QByteArray &path = folder.path;
    const bool fresh = !path.isEmpty() && folder.fresh;
    // The folders waiting are rows too: a rescan that changes nothing
    // still writes them, and outside the paced transaction each write was a
    // commit of its own, two disk flushes a folder (2.2 s where the walk
    // took 0.6 s over 1,101 folders).
    m_catalogue.beginWrite();
    m_catalogue.beginListing(folder.parentId, m_host, fresh);
    // Cut short by Cancel or the entry limit, the folder waits for the next
    // scan, which lists it again.
    if (!storeListing(listing.entries, folder.parentId, path))
        return;
    ++m_stats.listed;
    noteUnreadable(listing.badLines, listing.badSamples, path);
    m_stats.partReadLines += listing.partLines;
    // A line the parser could not read may be an entry: no removal on doubt.
    if (listing.ok && listing.badLines == 0 && !fresh && m_unlisted) {
        if (const QList<qint32> gone = m_catalogue.unlisted(); !gone.isEmpty())
            m_unlisted->add(gone, path);
    }
    m_work.done(folder);
    // What came before a failure stays stored; the folder still counts as not listed.
    if (!listing.ok)
        reportUnlisted(path, listing.error);
}

void WalkContext::reportUnlisted(const QByteArray &path, const QString &error)
{
    ++m_stats.failed;
    m_log.LogLine(QStringLiteral("   Could not list %1: %2").arg(shown(path), error), false);
}

bool WalkContext::storeListing(const QList<FileEntry> &entries, qint32 parentId, const QByteArray &path)
{
    if (path.isEmpty())
        m_loops.clear(); // a walk from the top knows no folder above it
    if (listsAsAbove(entries, parentId, path))
        return true;
    qsizetype stored = 0;
    for (const FileEntry &e : entries) {
        if (e.wireName == "." || e.wireName == "..")
            continue;
        // A listing already read is stored whole, unless it is one of
        // 200,000 files, which takes seconds: Cancel cuts that short too.
        if (entryLimitReached() || ((++stored % CancelCheckEvery) == 0 && isCancelled()))
            return false;
        const qint32 id = m_catalogue.StoreEntry(e, parentId, m_host);
        ++m_stats.entries;
        noteOutcome(id);
        if (!e.isDirectory())
            continue;
        const QByteArray child = path.isEmpty() ? e.wireName : path + '/' + e.wireName;
        if (!shouldDescend(e, child))
            continue;
        ++m_stats.directories;
        m_loops.add(parentId, id);
        m_work.add(Folder{child, id, m_catalogue.lastWasNew()});
    }
    m_loops.settle(parentId);
    return true;
}

namespace {
QString whyNotEntered(const QByteArray &name)
{
    if (name.contains('/'))
        return QStringLiteral("its name holds \"/\", so a path made of it would name another folder");
    if (name.isEmpty())
        return QStringLiteral("its name is empty");
    return QStringLiteral("its name holds a NUL, CR or LF byte, which cannot be sent to the server");
}

// path without its last levels steps.
QByteArray above(const QByteArray &path, int levels)
{
    qsizetype end = path.size();
    for (int i = 0; i < levels && end > 0; ++i)
        end = qMax<qsizetype>(0, path.lastIndexOf('/', end - 1));
    return path.left(end);
}
} // namespace

// A folder that lists what a folder above it lists is a link back up the
// tree (a server that follows links lists "self -> ." as its folder): what
// it shows is stored under the folder it is, not under this name again,
// and nothing in it is entered.
// ls gives times to the minute: a generated tree, or a mirror unpacked in
// one go, has folders that list exactly as the one above them (dir0/dir0
// lists dir0 to dir9, as dir0 does). Such listings are taken for a loop
// only once more than CoarseRepeats folders on the way down have looked so;
// a server that hides a link to "." then costs that many copies of the
// tree, where STAT walks it several times faster than MLSD.
bool WalkContext::listsAsAbove(const QList<FileEntry> &entries, qint32 id, const QByteArray &path)
{
    constexpr int CoarseRepeats = 3;
    const bool coarse = std::any_of(entries.cbegin(), entries.cend(), [](const FileEntry &e) {
        return e.time != 0 && ListedTime::precision(e.time) != TimePrecision::Exact;
    });
    const int levels = m_loops.listed(id, ListingSignature::of(entries), coarse ? CoarseRepeats : 0);
    if (levels == 0)
        return false;
    m_loops.settle(id);
    passOver(path, QStringLiteral("it lists what %1 above it lists: a link back up the tree")
                       .arg(logged(above(path, levels))));
    return true;
}

// The row is stored as listed; only its path is never made of such a name.
bool WalkContext::shouldDescend(const FileEntry &e, const QByteArray &childPath)
{
    if (!FtpSession::safeInPath(e.wireName)) {
        passOver(childPath, whyNotEntered(e.wireName));
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

// A link met before its folder: when it is still waiting to be listed, the
// folder is listed instead. Listed already, its rows stay where it showed them.
void WalkContext::dropQueued(const QByteArray &path, const QByteArray &realPath)
{
    if (!m_work.withdraw(path) && !(m_walk && m_walk->withdraw(path)))
        return;
    --m_stats.directories;
    passOver(path, QStringLiteral("a link to %1").arg(logged(realPath)));
}

void WalkContext::noteOutcome(qint32 id)
{
    switch (m_catalogue.lastOutcome()) {
    case Catalogue::Outcome::Added:
        ++m_stats.added;
        m_changes.added(id);
        break;
    case Catalogue::Outcome::Changed:
        ++m_stats.changed;
        m_changes.changed(id, m_catalogue.lastEarlier().size, m_catalogue.lastEarlier().lac);
        break;
    case Catalogue::Outcome::Unchanged:
        break;
    }
}

void WalkContext::removeUnlisted()
{
    if (!m_unlisted)
        return;
    m_unlisted->forEach([this](const QList<qint32> &ids, const QByteArray &folder) {
        m_stats.removed += m_changes.removeSubtrees(ids, folder);
    });
    m_catalogue.beginWrite();
    m_unlisted->clear();
    m_pending->clear();
}

// An endless tree passes over folders without end: a few are named, the
// rest counted in the closing lines.
void WalkContext::passOver(const QByteArray &path, const QString &why)
{
    if (++m_stats.passedOver <= NamedPassOvers)
        m_log.LogLine(QStringLiteral("   Passed over %1: %2").arg(logged(path), why), false);
}

QStringList WalkContext::passOverSummary() const
{
    QStringList lines;
    if (m_stats.passedOver > NamedPassOvers)
        lines << QStringLiteral("   Folders passed over: %1 (the first %2 are named above)")
                     .arg(m_stats.passedOver)
                     .arg(NamedPassOvers);
    if (m_stats.depthLimitReached)
        lines << QStringLiteral("   Folders deeper than the depth limit of %1 levels ([SCAN] Max Depth, --max-depth) "
                                "were stored, not listed")
                     .arg(m_work.maxDepth());
    return lines;
}

QString WalkContext::logged(const QByteArray &path)
{
    return ElidedText::middle(FtpSession::visibleName(shown(path)));
}

// A listing format no parser reads must never pass for an empty folder: the
// lines are counted and the first few shown with their folder.
void WalkContext::noteUnreadable(int lines, const QByteArrayList &samples, const QByteArray &path)
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
