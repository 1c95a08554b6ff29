#pragma once
#include "core/ftp/FtpLogon.h"
#include "ScanConnection.h"

#include <memory>

class ActivityLog;
class ElapsedCounter;
class HostSource;
class IniFile;
class UserMessages;

// The program's one FTP connection: opened for the current host, user and
// password, closed with a line that says how long it was open.
class FtpConnection : public ScanConnection
{
public:
    FtpConnection(ActivityLog &log, ElapsedCounter &timeConnect, HostSource &hosts, UserMessages &messages);
    ~FtpConnection() override;

    // Passive mode and code pages come from the settings file when given.
    void setSettings(IniFile *settings) { m_settings = settings; }

    void ConnectToHost() override;
    void CloseConnection() override;
    bool isConnected() const override;
    bool isAlive() override;
    bool reconnect() override;
    FtpSession::Listing list(const QByteArray &path) override;
    void prefetch(const QByteArray &path) override;
    FtpSession::Listing listWithModes(const QByteArray &path) override;
    QByteArray codePage() const override;
    // [ENCODING] for the host part of hostText; latin1 when not set.
    static QByteArray codePageFor(IniFile &settings, const QString &hostText);

    FtpSession *session() { return m_session.get(); }
    QString lastError() const { return m_lastError; }

private:
    FtpLogon logonFor(const QString &hostText);
    static QString notAvailable(const QString &host);

    ActivityLog &m_log;
    ElapsedCounter &m_timeConnect;
    HostSource &m_hosts;
    UserMessages &m_messages;
    IniFile *m_settings = nullptr;
    // Null when closed: a closed session is never used again.
    std::unique_ptr<FtpSession> m_session;
    FtpLogon m_logon;
    QString m_lastError;
};
