#pragma once
#include "core/ftp/FtpLogon.h"
#include "ScanConnection.h"

#include <memory>

class ActivityLog;
class ElapsedCounter;
class HostSource;
class ScanSetup;
class TrustPrompt;
class UserMessages;

// The program's one FTP connection: opened for the current host, user and
// password, closed with a line that says how long it was open.
class FtpConnection : public ScanConnection
{
public:
    FtpConnection(ActivityLog &log, ElapsedCounter &timeConnect, HostSource &hosts, UserMessages &messages);
    ~FtpConnection() override;

    // Log-ons take passive mode, TLS, pinned certificates, the listing
    // deadline and the code page from it, and pin there what the user
    // trusts; without one, the defaults. Not owned.
    void setSetup(ScanSetup *setup) { m_setup = setup; }
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

    FtpSession::Refusal refusal() const override { return m_refusal; }
    QString failureReason() const override { return m_failureReason; }
    QString greeting() const override { return m_greeting; }
    QString listingMethod() const override;

    FtpSession *session() override { return m_session.get(); }
    QString lastError() const { return m_lastError; }

private:
    FtpLogon logonFor(const QString &hostText);
    void pinNewlyTrusted();
    void rememberListing();
    // "Host "x" is not available", and why when it is known.
    static QString notAvailable(const QString &host, const QString &reason);
    // Server text, for the catalogue: printable, on one line, cut short.
    static QString shownGreeting(const QByteArray &bytes);
    void keepLogonOutcome();

    ActivityLog &m_log;
    ElapsedCounter &m_timeConnect;
    HostSource &m_hosts;
    UserMessages &m_messages;
    ScanSetup *m_setup = nullptr;
    TrustPrompt *m_prompt = nullptr;
    // Null when closed: a closed session is never used again.
    std::unique_ptr<FtpSession> m_session;
    FtpLogon m_logon;
    QString m_hostText; // as read when connecting: the closed line names the same host
    QString m_lastError;
    // Of the last log-on, kept past the session's close.
    FtpSession::Refusal m_refusal = FtpSession::Refusal::None;
    QString m_failureReason;
    QString m_greeting;
    QString m_method;
    const std::atomic_bool *m_cancel = nullptr;
};
