#pragma once
#include <QByteArray>
#include <QList>
#include <QSslError>
#include <QString>

class ControlChannel;
class FtpNotice;
class QSslSocket;
class SlicedWait;
class TrustPrompt;
struct FtpLogon;

// TLS on a session's connections: the handshake on the control connection
// (explicit or implicit), the certificate checks with pinning and the
// user's say through TrustPrompt, protected data connections (PBSZ/PROT),
// and the fall-back to plain FTP where an anonymous log-on allows it.
class FtpTls
{
public:
    // All outlive this: the session owns them.
    FtpTls(const FtpLogon &logon, ControlChannel &control, SlicedWait &waits, const FtpNotice &notice);

    // Not owned.
    void setTrustPrompt(TrustPrompt *prompt) { m_prompt = prompt; }
    // What one log-on learned is forgotten before the next.
    void forget();

    // Before it connects: the TLS session is kept for the data connections.
    void prepareControl(QSslSocket &socket);
    // Explicit TLS before the user name goes out. Under "try" a server that
    // does not offer it gets a plain log-on; under "require" the log-on stops.
    bool secureControl();
    bool startTls();
    // After the log-on: asks for protected data connections.
    void protectData();
    bool protectsData() const { return m_protectData; }
    // A data connection shows the very certificate the control connection showed.
    void prepareData(QSslSocket &socket);

    // The certificate was not trusted and the log-on goes on without TLS.
    bool plainAfterRefusal() const { return m_plainAfterRefusal; }
    const QByteArray &acceptedSha256() const { return m_acceptedSha256; }
    // Accepted by the prompt during this log-on; else empty.
    const QByteArray &newlyTrusted() const { return m_newlyTrusted; }

private:
    bool tlsOffered();
    void watchCertificate(QSslSocket &socket);
    void onSslErrors(QSslSocket &socket, const QList<QSslError> &errors);
    bool refuseCertificate(const QString &problem, const QByteArray &sha);
    bool askUser(const QByteArray &sha, const QString &problem);

    const FtpLogon &m_logon;
    ControlChannel &m_control;
    SlicedWait &m_waits;
    const FtpNotice &m_notice;
    TrustPrompt *m_prompt = nullptr;
    bool m_protectData = false;
    bool m_plainAfterRefusal = false;
    QByteArray m_acceptedSha256; // the control connection's certificate, once trusted
    QByteArray m_newlyTrusted;
    QString m_certificateProblem;
    bool m_declined = false; // the prompt said no during this handshake
};
