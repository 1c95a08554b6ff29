#include "FtpConnection.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "HostSource.h"
#include "core/base/UserMessages.h"
#include "ScanSetup.h"
#include "core/catalogue/ScanRun.h"

#include <QCoreApplication>

FtpConnection::FtpConnection(ActivityLog &log, ElapsedCounter &timeConnect, HostSource &hosts,
                             UserMessages &messages)
    : m_log(log)
    , m_timeConnect(timeConnect)
    , m_hosts(hosts)
    , m_messages(messages)
{
}

FtpConnection::~FtpConnection() = default;

QString FtpConnection::notAvailable(const QString &host, const QString &reason)
{
    const QString text = QStringLiteral("Host \"%1\" is not available").arg(host);
    return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
}

FtpLogon FtpConnection::logonFor(const QString &hostText)
{
    FtpLogon l = m_setup ? m_setup->logonFor(hostText) : FtpLogon::fromHostText(hostText);
    l.user = m_hosts.CurrentUser();
    l.password = m_hosts.CurrentPassword();
    return l;
}

// The user said yes to a certificate: asked once, remembered for the host.
void FtpConnection::pinNewlyTrusted()
{
    if (!m_session || m_session->newlyTrusted().isEmpty() || !m_setup)
        return;
    m_logon.pinnedSha256 = m_session->newlyTrusted();
    if (!m_setup->pin(m_logon.host, m_logon.pinnedSha256))
        m_log.LogLine(QStringLiteral("Cannot write the settings file %1").arg(m_setup->settingsPath()), false);
}

// Later scans of the server list its top at once the way found now.
void FtpConnection::rememberListing()
{
    if (m_setup && !m_setup->rememberListing(m_logon, m_session->listingChoice()))
        m_log.LogLine(QStringLiteral("Cannot write the settings file %1").arg(m_setup->settingsPath()), false);
}

QByteArray FtpConnection::codePage() const
{
    return m_logon.codePage;
}

void FtpConnection::ConnectToHost()
{
    const QString host = m_hosts.CurrentHost();
    m_hostText = host;
    const QString user = m_hosts.CurrentUser();
    m_log.LogLine(QStringLiteral(" Connecting to ") + host + QStringLiteral("  User:\"") + user + u'"', true);
    // Sockets need the application object's event machinery.
    if (!QCoreApplication::instance()) {
        m_messages.showMessage(QStringLiteral("Unable to get access to WinInet.Dll"));
        m_log.LogLine(QStringLiteral("Unable to get access to WinInet.Dll"), false);
        return;
    }
    m_session = std::make_unique<FtpSession>();
    m_session->setCancelFlag(m_cancel);
    m_session->setTrustPrompt(m_prompt);
    // Fallbacks, TLS and certificate warnings go to the log; the routine mode
    // line of a plain session does not, so the log reads as it always did.
    m_session->setNoticeHandler([this](const QString &line) {
        if (!line.startsWith(QLatin1String("   Data connections:")) && !line.startsWith(QLatin1String("   The server does not offer TLS")))
            m_log.LogLine(line, false);
    });
    m_logon = logonFor(host);
    const bool opened = m_session->open(m_logon);
    keepLogonOutcome();
    if (opened) {
        pinNewlyTrusted();
        rememberListing();
        m_timeConnect.start();
        return;
    }
    m_lastError = m_session->lastError();
    const bool cancelled = m_cancel && m_cancel->load(); // a cancelled log-on is no fault of the host
    const QString text = notAvailable(host, cancelled ? QString() : m_session->failureReason());
    if (!cancelled)
        m_messages.showMessage(text);
    m_log.LogLine(text, false);
    CloseConnection();
}

void FtpConnection::CloseConnection()
{
    if (m_session) {
        m_session->close();
        m_session.reset();
    }
    if (m_timeConnect.tag() > 0)
        m_log.LogLine(QStringLiteral(" Connection to ") + m_hostText
                          + QStringLiteral(" closed.  Connected time: ")
                          + ElapsedCounter::ElapsedText(m_timeConnect.tag()),
                      false);
    m_timeConnect.stop();
}

void FtpConnection::keepLogonOutcome()
{
    m_refusal = m_session->lastRefusal();
    m_failureReason = m_refusal == FtpSession::Refusal::None && m_session->isOpen() ? QString() : m_session->failureReason();
    m_greeting = shownGreeting(m_session->greeting());
    m_method = m_session->isOpen() ? FtpSession::methodName(m_session->method()) : QString();
}

// Control characters (a hostile server's escapes) become spaces.
QString FtpConnection::shownGreeting(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes.left(4 * ScanRun::GreetingSize));
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    return text.simplified().left(ScanRun::GreetingSize);
}

// The session's method while it is open: a fallback during the scan changes it.
QString FtpConnection::listingMethod() const
{
    return m_session ? FtpSession::methodName(m_session->method()) : m_method;
}

bool FtpConnection::isConnected() const
{
    return m_session && m_session->isOpen();
}

bool FtpConnection::isAlive()
{
    return m_session && m_session->isAlive();
}

bool FtpConnection::reconnect()
{
    if (!m_session)
        return false;
    // The listing method and the data connection mode found so far stay.
    if (!m_session->reopen()) {
        m_lastError = m_session->lastError();
        return false;
    }
    return true;
}

FtpSession::Listing FtpConnection::list(const QByteArray &path)
{
    if (!m_session) {
        FtpSession::Listing none;
        none.error = QStringLiteral("Not connected");
        return none;
    }
    return m_session->list(path);
}

FtpSession::Listing FtpConnection::listWithModes(const QByteArray &path)
{
    if (!m_session)
        return {};
    const FtpSession::Method method = m_session->method();
    m_session->setMethod(FtpSession::Method::List);
    FtpSession::Listing l = m_session->list(path);
    m_session->setMethod(method);
    return l;
}

void FtpConnection::prefetch(const QByteArray &path)
{
    if (m_session)
        m_session->prefetch(path);
}
