#include "HostScanner.h"
#include "core/base/ActivityLog.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/ftp/FtpSession.h"
#include "HostSource.h"
#include "ScanConnection.h"
#include "ScanView.h"
#include "core/base/UserMessages.h"

#include <QElapsedTimer>
#include <QThread>
#include <cmath>

HostScanner::HostScanner(ScanConnection &connection, Catalogue &catalogue, ActivityLog &log,
                         HostSource &hosts, UserMessages &messages, ScanView &view)
    : m_connection(connection)
    , m_catalogue(catalogue)
    , m_log(log)
    , m_hosts(hosts)
    , m_messages(messages)
    , m_view(view)
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
    // A connection opened by hand is closed first, with its closed line.
    if (m_connection.isConnected())
        m_connection.CloseConnection();
    m_connection.ConnectToHost();
    m_wasConnected = m_connection.isConnected();
    m_view.showView();
    m_host = m_hosts.CurrentHost();
    m_work = QByteArrayList{QByteArray()};
    m_parents.clear();
    m_fresh.clear();
    m_seenUnique.clear();
    try {
        m_baseCount = m_catalogue.recordCount();
        m_insertedAtStart = m_catalogue.insertedCount();
        walk();
        m_catalogue.flush();
    } catch (const CatalogueError &e) {
        m_messages.showMessage(e.message());
    }
    finish();
}

void HostScanner::walk()
{
    while (!m_work.isEmpty() && m_view.isShown()) {
        if (m_lost || !ensureAlive()) {
            m_stats.terminated = true;
            m_messages.showMessage(QStringLiteral("Terminated"));
            return;
        }
        startPass();
        listOne();
    }
}

void HostScanner::startPass()
{
    if (m_stats.directories != 0)
        m_view.setProgress(progressPosition(m_stats.entries, m_stats.directories, m_work.size(),
                                            m_view.progressMaximum()));
    m_view.setCounts(m_stats.directories,
                     m_baseCount + m_catalogue.insertedCount() - m_insertedAtStart);
    m_view.repaintView();
    m_view.pumpEvents();
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
    for (int i = 1; i <= ReconnectTries; ++i) {
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < m_retryPauseMs * i) {
            m_view.pumpEvents();
            QThread::msleep(20);
        }
        if (m_connection.reconnect())
            return true;
    }
    return false;
}

void HostScanner::listOne()
{
    const QByteArray path = m_work.takeLast();
    if (path.count('/') + 1 > MaxDepth) {
        m_parents.resize(m_work.size());
        m_fresh.resize(m_work.size());
        passOver(path, QStringLiteral("deeper than %1 levels").arg(MaxDepth));
        return;
    }
    m_view.setCurrentFolder(shown(path));
    FtpSession::Listing listing = m_connection.list(path);
    if (!listing.ok && m_wasConnected && !m_connection.isAlive()) {
        if (!ensureAlive()) {
            m_lost = true;
            return;
        }
        listing = m_connection.list(path);
    }
    if (!listing.ok && listing.entries.isEmpty()) {
        m_parents.resize(m_work.size());
        m_fresh.resize(m_work.size());
        if (!m_wasConnected)
            return; // never connected: the log already says the host is not available
        ++m_stats.failed;
        m_log.LogLine(QStringLiteral("   Could not list %1: %2").arg(shown(path), listing.error), false);
        return;
    }
    m_view.pumpEvents();
    prefetchNext(listing.entries, path);
    const qint32 parentId = path.isEmpty() ? 0 : m_parents.value(m_work.size());
    if (!path.isEmpty() && m_fresh.value(m_work.size()))
        m_catalogue.beginNewFolder(parentId, m_host);
    m_parents.resize(m_work.size());
    m_fresh.resize(m_work.size());
    ++m_stats.listed;
    storeListing(listing.entries, parentId, path);
    if (!listing.ok) {
        // What came before the failure stays stored; the folder still counts as not listed.
        ++m_stats.failed;
        m_log.LogLine(QStringLiteral("   Could not list %1: %2").arg(shown(path), listing.error), false);
    }
}

void HostScanner::storeListing(const QList<FindData> &entries, qint32 parentId, const QByteArray &path)
{
    for (const FindData &e : entries) {
        if (e.wireName == "." || e.wireName == "..")
            continue;
        const qint32 id = m_catalogue.StoreEntry(e, parentId, m_host);
        ++m_stats.entries;
        if (!e.isDirectory())
            continue;
        const QByteArray child = path.isEmpty() ? e.wireName : path + '/' + e.wireName;
        if (!shouldDescend(e, child))
            continue;
        ++m_stats.directories;
        m_work.append(child);
        m_parents.resize(m_work.size());
        m_parents.last() = id;
        m_fresh.resize(m_work.size());
        m_fresh.last() = m_catalogue.lastWasNew();
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
        if (!FtpSession::safeInPath(it->wireName) || m_seenUnique.contains(it->unique))
            continue;
        const QByteArray child = path.isEmpty() ? it->wireName : path + '/' + it->wireName;
        if (child.count('/') + 1 <= MaxDepth)
            m_connection.prefetch(child);
        return;
    }
    if (!m_work.isEmpty())
        m_connection.prefetch(m_work.last());
}

bool HostScanner::shouldDescend(const FindData &e, const QByteArray &childPath)
{
    if (!FtpSession::safeInPath(e.wireName)) {
        passOver(childPath, QStringLiteral("its name cannot be sent back to the server"));
        return false;
    }
    // Servers that follow links list a folder again under another name;
    // MLSD's "unique" fact tells.
    if (!e.unique.isEmpty()) {
        if (m_seenUnique.contains(e.unique)) {
            passOver(childPath, QStringLiteral("already listed under another name"));
            return false;
        }
        m_seenUnique.insert(e.unique);
    }
    return true;
}

void HostScanner::passOver(const QByteArray &path, const QString &why)
{
    ++m_stats.passedOver;
    m_log.LogLine(QStringLiteral("   Passed over %1: %2").arg(shown(path), why), false);
}

void HostScanner::finish()
{
    m_connection.CloseConnection();
    m_view.hideView();
    if (m_stats.failed > 0)
        m_log.LogLine(QStringLiteral("   Folders that could not be listed: %1").arg(m_stats.failed), false);
    m_work.clear();
    m_parents.clear();
    m_fresh.clear();
    m_running = false;
    if (m_afterScan)
        m_afterScan();
}
