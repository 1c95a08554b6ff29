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
        l.codePage = codePageFor(*m_settings, hostText);
    }
    return l;
}

QByteArray FtpConnection::codePageFor(IniFile &settings, const QString &hostText)
{
    const QString host = FtpLogon::fromHostText(hostText).host;
    return settings.readString(QStringLiteral("ENCODING"), host, QStringLiteral("latin1")).toLatin1();
}

QByteArray FtpConnection::codePage() const
{
    return m_logon.codePage;
}

void FtpConnection::ConnectToHost()
{
    const QString host = m_hosts.CurrentHost();
    const QString user = m_hosts.CurrentUser();
    m_log.LogLine(QStringLiteral(" Connecting to ") + host + QStringLiteral("  User:\"") + user + u'"', true);
    // Sockets need the application object's event machinery.
    if (!QCoreApplication::instance()) {
        m_messages.showMessage(QStringLiteral("Unable to get access to WinInet.Dll"));
        m_log.LogLine(QStringLiteral("Unable to get access to WinInet.Dll"), false);
        return;
    }
    m_session = std::make_unique<FtpSession>();
    m_logon = logonFor(m_hosts.CurrentHost());
    if (m_session->open(m_logon)) {
        m_timeConnect.start();
        return;
    }
    m_lastError = m_session->lastError();
    m_messages.showMessage(notAvailable(m_hosts.CurrentHost()));
    m_log.LogLine(notAvailable(m_hosts.CurrentHost()), false);
    CloseConnection();
}

void FtpConnection::CloseConnection()
{
    if (m_session) {
        m_session->close();
        m_session.reset();
    }
    if (m_timeConnect.tag() > 0)
        m_log.LogLine(QStringLiteral(" Connection to ") + m_hosts.CurrentHost()
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
