#pragma once
#include "core/ftp/FtpLogon.h"
#include "ScanConnection.h"

#include <memory>
#include <optional>

class ActivityLog;
class ElapsedCounter;
class HostSource;
class IniFile;
class TrustPrompt;
class UserMessages;

// The program's one FTP connection: opened for the current host, user and
// password, closed with a line that says how long it was open.
class FtpConnection : public ScanConnection
{
public:
    FtpConnection(ActivityLog &log, ElapsedCounter &timeConnect, HostSource &hosts, UserMessages &messages);
    ~FtpConnection() override;

    // Passive mode, TLS, pinned certificates, the listing deadline and code
    // pages come from the settings file when given ([FTP] Passive and
    // "Listing Deadline" in seconds, [TLS] host=require|try|off,
    // [TRUST] host=SHA-256 fingerprint, [ENCODING] host=code page).
    void setSettings(IniFile *settings) { m_settings = settings; }

    // What the command line says for this run only; it wins over the settings.
    struct RunOptions
    {
        std::optional<bool> passive;
        std::optional<FtpLogon::Tls> tls;
        QByteArray trustSha256;
    };
    void setRunOptions(const RunOptions &options) { m_run = options; }
    // Asked about certificates that fail the checks; a yes is pinned in the settings. Not owned.
    void setTrustPrompt(TrustPrompt *prompt) { m_prompt = prompt; }

    void ConnectToHost() override;
    void CloseConnection() override;
    bool isConnected() const override;
    bool isAlive() override;
    bool reconnect() override;
    FtpSession::Listing list(const QByteArray &path) override;
    void prefetch(const QByteArray &path) override;
    void setCancelFlag(const std::atomic_bool *cancel) override { m_cancel = cancel; }
    FtpSession::Listing listWithModes(const QByteArray &path) override;
    QByteArray codePage() const override;
    // [ENCODING] for the host part of hostText; latin1 when not set.
    static QByteArray codePageFor(IniFile &settings, const QString &hostText);

    FtpSession *session() override { return m_session.get(); }
    QString lastError() const { return m_lastError; }

private:
    FtpLogon logonFor(const QString &hostText);
    void pinNewlyTrusted();
    static QString notAvailable(const QString &host);

    ActivityLog &m_log;
    ElapsedCounter &m_timeConnect;
    HostSource &m_hosts;
    UserMessages &m_messages;
    IniFile *m_settings = nullptr;
    RunOptions m_run;
    TrustPrompt *m_prompt = nullptr;
    // Null when closed: a closed session is never used again.
    std::unique_ptr<FtpSession> m_session;
    FtpLogon m_logon;
    QString m_hostText; // as read when connecting: the closed line names the same host
    QString m_lastError;
    const std::atomic_bool *m_cancel = nullptr;
};
