#include "FtpConnection.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "HostSource.h"
#include "core/base/IniFile.h"
#include "core/base/UserMessages.h"

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

QString FtpConnection::notAvailable(const QString &host)
{
    return QStringLiteral("Host \"%1\" is not available").arg(host);
}

FtpLogon FtpConnection::logonFor(const QString &hostText)
{
    FtpLogon l = FtpLogon::fromHostText(hostText);
    l.user = m_hosts.CurrentUser();
    l.password = m_hosts.CurrentPassword();
    if (m_settings) {
        l.passive = m_settings->readBool(QStringLiteral("FTP"), QStringLiteral("Passive"), false);
        l.codePage = m_settings->readString(QStringLiteral("ENCODING"), l.host, QStringLiteral("latin1")).toLatin1();
    }
    return l;
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
    m_logon = logonFor(host);
    if (m_session->open(m_logon)) {
        m_timeConnect.start();
        return;
    }
    m_lastError = m_session->lastError();
    if (!(m_cancel && m_cancel->load())) // a cancelled log-on is no fault of the host
        m_messages.showMessage(notAvailable(host));
    m_log.LogLine(notAvailable(host), false);
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
    const FtpSession::Method method = m_session->method();
    if (!m_session->open(m_logon)) {
        m_lastError = m_session->lastError();
        return false;
    }
    m_session->setMethod(method);
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

void FtpConnection::prefetch(const QByteArray &path)
{
    if (m_session)
        m_session->prefetch(path);
}
