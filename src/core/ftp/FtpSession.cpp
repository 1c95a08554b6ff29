#include "FtpSession.h"
#include "LogonFailure.h"

FtpSession::FtpSession()
{
    // Active mode that failed with the control connection tries passive
    // mode on a new log-on.
    m_data.setReconnect([this] { return reopen(); });
}

FtpSession::~FtpSession()
{
    close();
}

bool FtpSession::open(const FtpLogon &logon)
{
    startOver(logon, logon.passive, false);
    if (!establish())
        return false;
    Listing top = m_probe.chooseMethod(m_logon.listing);
    if (top.ok) {
        m_probed = std::move(top);
        m_probedWith = m_probe.method();
    }
    return true;
}

// What one log-on learned is forgotten before the next.
void FtpSession::startOver(const FtpLogon &logon, bool passive, bool modeNoted)
{
    close();
    m_logon = logon;
    m_data.startOver(passive, modeNoted);
    m_tls.forget();
    m_probe.forgetPathForm();
    m_probed.reset();
}

FtpSession::Likeness FtpSession::likeness() const
{
    Likeness like{m_logon,         m_probe.method(),           m_probe.supported(),
                  m_data.passive(), m_decoder.clockOffset(), m_decoder.folderSizes(),
                  m_probe.pathFormVerdict()};
    if (!m_tls.acceptedSha256().isEmpty())
        like.logon.pinnedSha256 = m_tls.acceptedSha256();
    if (m_tls.plainAfterRefusal())
        like.logon.tls = FtpLogon::Tls::Off; // the user's choice was made on the first connection
    return like;
}

bool FtpSession::openLike(const Likeness &like)
{
    startOver(like.logon, like.passive, true); // the first connection noted the mode
    if (!establish())
        return false;
    m_probe.setMethod(like.method);
    m_probe.setSupported(like.supported);
    m_decoder.setClockOffset(like.clockOffsetS);
    m_decoder.setFolderSizes(like.folderSizes);
    if (like.pathForm)
        m_probe.shareVerdict(like.pathForm);
    return true;
}

// A log-on learns features and system again; the listing method and what
// the path form probe found stay.
bool FtpSession::reopen()
{
    close();
    return establish();
}

bool FtpSession::establish()
{
    m_control.clearProblems();
    m_refusal = Refusal::None;
    m_failure.clear();
    if (!m_logon.valid) {
        m_failure = m_logon.error;
        return m_control.fail(m_logon.error);
    }
    bool ok = connectControl();
    if (ok && !m_tls.secureControl())
        ok = m_tls.plainAfterRefusal() && connectControl();
    ok = ok && login();
    if (!ok) {
        m_refusal = refusal();
        m_failure = LogonFailure::reason(m_refusal, m_control.timedOut(), m_control.error());
        close();
        return false;
    }
    ++m_logons;
    m_tls.protectData();
    m_probe.readFeatures();
    m_probe.readSystem();
    return true;
}

FtpSession::Refusal FtpSession::refusal() const
{
    if (m_control.socket().error() == QAbstractSocket::ConnectionRefusedError)
        return Refusal::ConnectionRefused;
    const int code = m_control.lastCode();
    return code == 421 ? Refusal::Busy : code == 530 ? Refusal::LogonRefused : Refusal::Other;
}

void FtpSession::close()
{
    m_control.quit();
    m_data.closeListener();
}

bool FtpSession::connectControl()
{
    m_tls.prepareControl(m_control.renew());
    if (!m_control.connectToServer())
        return false;
    if (m_logon.tls == FtpLogon::Tls::Implicit && !m_tls.plainAfterRefusal() && !m_tls.startTls())
        return false;
    return m_control.readGreeting();
}

bool FtpSession::login()
{
    if (m_logon.tls == FtpLogon::Tls::Require && !m_control.socket().isEncrypted())
        return m_control.fail(QStringLiteral("No TLS; the password was not sent"));
    const QString user = m_logon.user.isEmpty() ? QStringLiteral("anonymous") : m_logon.user;
    // Anonymous servers ask for an address as password: name ourselves.
    const QString pass = m_logon.password.isEmpty() && m_logon.user.isEmpty()
        ? QStringLiteral("Harvex@") : m_logon.password;
    // A line break would end the command and start another one.
    for (const QString &s : {user, pass})
        if (s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0)))
            return m_control.fail(QStringLiteral("The user name or password holds a line break"));
    FtpReply r = m_control.command("USER " + user.toUtf8());
    if (r.isIntermediate())
        r = m_control.command("PASS " + pass.toUtf8());
    return r.isPositive() || m_control.failWith(r);
}

bool FtpSession::safeInPath(const QByteArray &name)
{
    return ListingRequest::enterableName(name);
}

// A listing that timed out leaves the session reset (ABOR answered, or a new
// log-on), so the caller can go straight on with the next folder.
FtpSession::Listing FtpSession::list(const QByteArray &path)
{
    if (std::optional<Listing> probed = takeProbed(path))
        return std::move(*probed);
    m_control.clearProblems();
    m_waits.startDeadline(m_logon.listingDeadlineMs);
    Listing l = listNow(path);
    const bool pastDeadline = m_waits.endDeadline();
    if (m_control.timedOut() || pastDeadline) {
        l.ok = false;
        l.timedOut = true;
        if (pastDeadline) {
            l.error = QStringLiteral("The listing took longer than %1 s").arg(m_logon.listingDeadlineMs / 1000.0);
            l.code = 0;
        }
        if (!isOpen() && !m_waits.cancelled() && !reopen())
            l.error += QStringLiteral("; reconnecting failed: ") + lastError();
    }
    return l;
}

// Only for the method it was made with: a caller that switched methods
// (LIST for its mode column) wants the server asked.
std::optional<FtpSession::Listing> FtpSession::takeProbed(const QByteArray &path)
{
    if (!m_probed || !path.isEmpty() || m_probedWith != m_probe.method())
        return std::nullopt;
    std::optional<Listing> top = std::move(m_probed);
    m_probed.reset();
    return top;
}

FtpSession::Listing FtpSession::listNow(const QByteArray &path)
{
    if (m_control.hasPrefetched() && m_control.prefetchedPath() == path)
        return m_lister.takePrefetched(m_probe.method());
    m_control.dropPrefetched();
    return m_probe.list(path);
}

// Asks for a listing now and reads it at the next list() of that path, so the
// server works on it while the caller stores the previous one. Only for the
// listings that come on the control connection.
void FtpSession::prefetch(const QByteArray &path)
{
    if (listingOnControl(m_probe.method()))
        m_control.prefetch(path, listingCommand(m_probe.method()));
}

bool FtpSession::findFirstFile(const QByteArray &path, FileEntry &entry)
{
    const Listing l = list(path);
    m_find = l.entries;
    m_findNext = 0;
    m_control.fail(l.error);
    return findNextFile(entry);
}

bool FtpSession::findNextFile(FileEntry &entry)
{
    if (m_findNext >= m_find.size())
        return false;
    entry = m_find[m_findNext++];
    return true;
}

void FtpSession::startListingDeadline()
{
    m_control.clearTimedOut();
    m_waits.startDeadline(m_logon.listingDeadlineMs);
}
