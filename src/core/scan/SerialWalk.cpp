#include "SerialWalk.h"
#include "ScanConnection.h"
#include "ScanView.h"

void SerialWalk::run()
{
    while (!m_c.work().isEmpty() && !m_c.isCancelled() && !m_c.entryLimitReached()) {
        if (m_c.isLost() || !m_c.ensureAlive())
            break;
        m_c.startPass(m_c.work().size());
        listOne();
    }
}

void SerialWalk::listOne()
{
    const WalkContext::Folder folder = m_c.work().takeLast();
    if (!m_c.admit(folder))
        return;
    const QByteArray &path = folder.path;
    ScanConnection &connection = m_c.connection();
    m_c.view().setCurrentFolder(WalkContext::shown(path));
    FtpSession::Listing listing = connection.list(path);
    if (!listing.ok && m_c.isCancelled())
        return; // cut short by Cancel: not a fault of the folder, and the next scan lists it
    // A listing that timed out is not asked for again: it would cost the
    // same wait a second time.
    if (!listing.ok && !listing.timedOut && m_c.wasConnected() && !connection.isAlive()) {
        if (!m_c.ensureAlive()) {
            m_c.markLost();
            return;
        }
        listing = connection.list(path);
    }
    if (!m_c.somethingListed(folder, listing))
        return;
    m_c.view().pumpEvents();
    prefetchNext(listing.entries, path);
    m_c.storeListed(folder, listing);
}

// The folder the walk will list next: the last subfolder of this listing, or
// else the one on top of the work list. Asking for it now lets the server
// prepare it while this listing is stored.
void SerialWalk::prefetchNext(const QList<FileEntry> &entries, const QByteArray &path)
{
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (!it->isDirectory() || it->wireName == "." || it->wireName == "..")
            continue;
        if (!FtpSession::safeInPath(it->wireName) || m_c.links().seen(it->unique))
            continue;
        const QByteArray child = path.isEmpty() ? it->wireName : path + '/' + it->wireName;
        if (!m_c.work().tooDeep(child))
            m_c.connection().prefetch(child);
        return;
    }
    if (!m_c.work().isEmpty())
        m_c.connection().prefetch(m_c.work().last().path);
}
