#include "FtpTls.h"
#include "CertificateFingerprint.h"
#include "ControlChannel.h"
#include "FtpLogon.h"
#include "FtpNotice.h"
#include "SlicedWait.h"
#include "TrustPrompt.h"

#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

namespace {
QString protocolName(QSsl::SslProtocol p)
{
    switch (p) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    default:
        return QStringLiteral("TLS");
    }
}

bool isAnonymous(const FtpLogon &l)
{
    const QString u = l.user.toLower();
    return u.isEmpty() || u == QLatin1String("anonymous") || u == QLatin1String("ftp");
}
} // namespace

FtpTls::FtpTls(const FtpLogon &logon, ControlChannel &control, SlicedWait &waits, const FtpNotice &notice)
    : m_logon(logon)
    , m_control(control)
    , m_waits(waits)
    , m_notice(notice)
{
}

void FtpTls::forget()
{
    m_plainAfterRefusal = false;
    m_acceptedSha256.clear();
    m_newlyTrusted.clear();
}

void FtpTls::prepareControl(QSslSocket &socket)
{
    // Data connections resume the control connection's TLS session (vsftpd
    // insists), so the session must be kept.
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    socket.setSslConfiguration(config);
    socket.setPeerVerifyName(m_logon.host);
    watchCertificate(socket);
}

bool FtpTls::tlsOffered()
{
    const FtpReply r = m_control.command("FEAT");
    for (const QByteArray &line : r.lines)
        if (line.trimmed().toUpper().startsWith("AUTH") && line.toUpper().contains("TLS"))
            return true;
    return false;
}

bool FtpTls::secureControl()
{
    using Tls = FtpLogon::Tls;
    if (m_logon.tls == Tls::Off || m_logon.tls == Tls::Implicit || m_plainAfterRefusal)
        return true;
    if (m_logon.tls == Tls::Try && !tlsOffered()) {
        m_notice(QStringLiteral("   The server does not offer TLS: plain FTP"));
        return m_control.isOpen() || m_control.failWith(FtpReply());
    }
    const FtpReply r = m_control.command("AUTH TLS");
    if (r.code == 234)
        return startTls();
    if (m_logon.tls == Tls::Require)
        return m_control.breakOff(QStringLiteral("The server does not offer TLS (%1); the password was not sent")
                                      .arg(r.code ? m_control.replyError(r) : QStringLiteral("no reply")));
    m_notice(QStringLiteral("   The server refused TLS: plain FTP"));
    return m_control.isOpen() || m_control.failWith(r);
}

bool FtpTls::startTls()
{
    if (m_control.hasUnread())
        return m_control.breakOff(QStringLiteral("The server sent data before the TLS handshake"));
    QSslSocket &socket = m_control.socket();
    m_certificateProblem.clear();
    m_declined = false;
    socket.startClientEncryption();
    const SlicedWait::Outcome w = m_waits.encrypted(socket, m_logon.connectTimeoutMs);
    if (w == SlicedWait::Outcome::Done) {
        m_notice(QStringLiteral("   %1 (%2), certificate SHA-256 %3")
                     .arg(protocolName(socket.sessionProtocol()), socket.sessionCipher().name(),
                          CertificateFingerprint::text(CertificateFingerprint::sha256(socket.peerCertificate()))));
        return true;
    }
    // Whatever happened, nothing more goes out on this connection.
    const QByteArray sha = CertificateFingerprint::sha256(socket.peerCertificate());
    socket.abort();
    if (!m_certificateProblem.isEmpty())
        return refuseCertificate(m_certificateProblem, sha);
    return m_control.fail(w == SlicedWait::Outcome::Cancelled
                              ? QStringLiteral("Cancelled")
                              : QStringLiteral("TLS handshake failed: %1").arg(socket.errorString()));
}

bool FtpTls::refuseCertificate(const QString &problem, const QByteArray &sha)
{
    const QString fp = CertificateFingerprint::text(sha);
    const bool mayGoPlain = m_logon.tls == FtpLogon::Tls::Try && isAnonymous(m_logon);
    if (m_declined)
        m_notice(QStringLiteral("   The certificate of %1 was declined (SHA-256 fingerprint %2)").arg(m_logon.host, fp));
    if (mayGoPlain) {
        // An anonymous password is no secret: the listing is worth more than
        // the encryption here, and the log says so.
        m_notice(QStringLiteral("   Warning: the certificate of %1 is not trusted (%2); going on without TLS. "
                                "SHA-256 fingerprint: %3")
                     .arg(m_logon.host, problem, fp));
        m_plainAfterRefusal = true;
        return false;
    }
    const QString refusal = QStringLiteral("The certificate of %1 is not trusted (%2). SHA-256 fingerprint: %3")
                                .arg(m_logon.host, problem, fp);
    return m_control.fail(m_declined ? QStringLiteral("Certificate declined: ") + refusal : refusal);
}

void FtpTls::watchCertificate(QSslSocket &socket)
{
    QObject::connect(&socket, &QSslSocket::sslErrors,
                     [this, &socket](const QList<QSslError> &errors) { onSslErrors(socket, errors); });
}

// A certificate the system does not vouch for is accepted only when its
// fingerprint is pinned for the host or the user trusts it now. Data
// connections must show the very certificate the control connection showed.
void FtpTls::onSslErrors(QSslSocket &socket, const QList<QSslError> &errors)
{
    const QByteArray sha = CertificateFingerprint::sha256(socket.peerCertificate());
    if (!sha.isEmpty() && sha == m_acceptedSha256) {
        socket.ignoreSslErrors();
        return;
    }
    if (&socket != &m_control.socket())
        return;
    QStringList problems;
    for (const QSslError &e : errors)
        problems << e.errorString();
    const QString problem = problems.join(QStringLiteral("; "));
    if (!sha.isEmpty() && sha == m_logon.pinnedSha256) {
        m_acceptedSha256 = sha;
    } else if (!sha.isEmpty() && askUser(sha, problem)) {
        m_acceptedSha256 = sha;
        m_newlyTrusted = sha;
    } else {
        m_certificateProblem = problem;
        return;
    }
    socket.ignoreSslErrors();
}

// A pinned certificate that is no longer shown is worth a line in the log
// whatever the answer: the server changed it, or another one answers.
bool FtpTls::askUser(const QByteArray &sha, const QString &problem)
{
    const QString pinned = m_logon.pinnedSha256.isEmpty() ? QString() : CertificateFingerprint::text(m_logon.pinnedSha256);
    if (!pinned.isEmpty())
        m_notice(QStringLiteral("   The certificate of %1 is not the one pinned for it (pinned SHA-256 %2)")
                     .arg(m_logon.host, pinned));
    if (!m_prompt)
        return false;
    m_declined = !m_prompt->trustCertificate(m_logon.host, CertificateFingerprint::text(sha), problem, pinned);
    return !m_declined;
}

void FtpTls::protectData()
{
    m_protectData = false;
    if (!m_control.socket().isEncrypted())
        return;
    m_control.command("PBSZ 0");
    m_protectData = m_control.command("PROT P").isPositive();
    if (!m_protectData)
        m_notice(QStringLiteral("   The server refused protected data connections: listings come unencrypted"));
}

void FtpTls::prepareData(QSslSocket &socket)
{
    socket.setSslConfiguration(m_control.socket().sslConfiguration());
    socket.setPeerVerifyName(m_logon.host);
    watchCertificate(socket);
}
