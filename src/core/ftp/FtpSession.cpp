#include "FtpSession.h"
#include "CertificateFingerprint.h"
#include "DataListener.h"
#include "ListingParser.h"
#include "TrustPrompt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QStringDecoder>
#include <QTimer>
#include <algorithm>

namespace {
// The longest a wait goes without looking at the cancel flag and letting
// the thread's timers run (the catalogue commits on a timer during a stall).
constexpr int SliceMs = 50;
constexpr int QuitWaitMs = 1000;

QByteArray commandFor(FtpSession::Method m)
{
    switch (m) {
    case FtpSession::Method::Mlsd:
        return "MLSD";
    case FtpSession::Method::ListA:
        return "LIST -a";
    case FtpSession::Method::List:
        return "LIST";
    case FtpSession::Method::Stat:
        return "STAT .";
    case FtpSession::Method::StatA:
        return "STAT -a .";
    }
    return "LIST";
}

bool onControl(FtpSession::Method m)
{
    return m == FtpSession::Method::Stat || m == FtpSession::Method::StatA;
}

QSet<QByteArray> namesOf(const FtpSession::Listing &l)
{
    QSet<QByteArray> names;
    for (const FindData &e : l.entries)
        names.insert(e.wireName + '\0' + QByteArray::number(e.dwFileAttributes));
    return names;
}

// Tells two folders apart where their names agree (a mirror of the same
// layout at every level): the inode-like "unique" fact and the times.
QSet<QByteArray> factsOf(const FtpSession::Listing &l)
{
    QSet<QByteArray> facts;
    for (const FindData &e : l.entries)
        facts.insert(e.wireName + '\0' + e.unique + '\0' + QByteArray::number(e.ftLastWriteTime.dwHighDateTime) + ':'
                     + QByteArray::number(e.ftLastWriteTime.dwLowDateTime));
    return facts;
}

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

// Shows a server's bytes in an error message without letting them break the line.
QString printable(const QByteArray &bytes)
{
    QString s = QString::fromLatin1(bytes.left(80));
    return FtpSession::visibleName(s);
}
} // namespace

FtpSession::FtpSession()
    : m_ctrl(std::make_unique<QSslSocket>())
{
    m_connectSlice.setSingleShot(true);
    m_connectSlice.setTimerType(Qt::PreciseTimer); // a coarse one may end a slice 5 % late
}

FtpSession::~FtpSession()
{
    close();
}

QString FtpSession::methodName(Method m)
{
    return QString::fromLatin1(commandFor(m));
}

bool FtpSession::fail(const QString &why)
{
    m_error = why;
    return false;
}

// The control connection can no longer be trusted to be in step: it ends.
bool FtpSession::breakOff(const QString &why)
{
    m_replyProblem = why;
    m_ctrl->abort();
    return fail(why);
}

QString FtpSession::replyError(const FtpReply &r) const
{
    if (r.code != 0)
        return QString::fromUtf8(r.text()).trimmed();
    if (!m_replyProblem.isEmpty())
        return m_replyProblem;
    if (m_timedOut)
        return QStringLiteral("No reply from the server within %1 s").arg(m_logon.idleTimeoutMs / 1000.0);
    return m_ctrl->state() == QAbstractSocket::ConnectedState
        ? QStringLiteral("No reply from the server")
        : QStringLiteral("Connection lost: %1").arg(m_ctrl->errorString());
}

void FtpSession::notice(const QString &text) const
{
    if (m_notice)
        m_notice(text);
}

bool FtpSession::isOpen() const
{
    return m_ctrl->state() == QAbstractSocket::ConnectedState;
}

bool FtpSession::open(const FtpLogon &logon)
{
    startOver(logon, logon.passive, false);
    if (!establish())
        return false;
    chooseMethod();
    return true;
}

// What one log-on learned is forgotten before the next.
void FtpSession::startOver(const FtpLogon &logon, bool passive, bool modeNoted)
{
    close();
    m_logon = logon;
    m_passiveNow = passive;
    m_modeNoted = modeNoted;
    m_plainAfterRefusal = false;
    m_acceptedSha256.clear();
    m_newlyTrusted.clear();
    m_epsvWorks = false;
    m_mlsdByPath = false;
    m_pathProbed = false;
}

FtpSession::Likeness FtpSession::likeness() const
{
    Likeness like{m_logon, m_method, m_supported, m_passiveNow};
    if (!m_acceptedSha256.isEmpty())
        like.logon.pinnedSha256 = m_acceptedSha256;
    if (m_plainAfterRefusal)
        like.logon.tls = FtpLogon::Tls::Off; // the user's choice was made on the first connection
    return like;
}

bool FtpSession::openLike(const Likeness &like)
{
    startOver(like.logon, like.passive, true); // the first connection noted the mode
    if (!establish())
        return false;
    m_method = like.method;
    m_supported = like.supported;
    return true;
}

bool FtpSession::reopen()
{
    const Method method = m_method;
    const QList<Method> supported = m_supported;
    const bool byPath = m_mlsdByPath;
    const bool probed = m_pathProbed;
    close();
    if (!establish())
        return false;
    m_method = method;
    m_supported = supported;
    m_mlsdByPath = byPath;
    m_pathProbed = probed;
    return true;
}

bool FtpSession::establish()
{
    m_replyProblem.clear();
    m_timedOut = false;
    m_refusal = Refusal::None;
    m_lastCode = 0;
    if (!m_logon.valid)
        return fail(m_logon.error);
    bool ok = connectControl();
    if (ok && !secureControl())
        ok = m_plainAfterRefusal && connectControl();
    ok = ok && login();
    if (!ok) {
        m_refusal = m_ctrl->error() == QAbstractSocket::ConnectionRefusedError ? Refusal::ConnectionRefused
            : m_lastCode == 421                                                ? Refusal::Busy
            : m_lastCode == 530                                                ? Refusal::LogonRefused
                                                                               : Refusal::Other;
        close();
        return false;
    }
    ++m_logons;
    protectData();
    readFeatures();
    readSystem();
    return true;
}

void FtpSession::close()
{
    dropPrefetched();
    if (m_ctrl->state() == QAbstractSocket::ConnectedState) {
        m_ctrl->write("QUIT\r\n");
        waitSliced(QuitWaitMs, [this](int ms) { return m_ctrl->bytesToWrite() == 0 || m_ctrl->waitForBytesWritten(ms); },
                   [this] { return isOpen(); });
    }
    m_ctrl->abort();
    m_buffer.clear();
    m_readPos = m_scanPos = 0;
    m_cwd.clear();
    m_prefetched = false;
    m_activeServer.reset();
    m_reusePort = true;
}

// Every wait runs in slices: step(ms) waits at most ms and says whether the
// awaited thing happened; alive() false ends the wait early. Between slices
// the thread's own events run: the catalogue commits on a timer during a stall.
FtpSession::Wait FtpSession::waitSliced(int totalMs, const std::function<bool(int)> &step,
                                        const std::function<bool()> &alive)
{
    const QDeadlineTimer deadline(qMax(0, totalMs));
    for (;;) {
        if (cancelled())
            return Wait::Cancelled;
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Wait::TimedOut;
        if (step(int(qMin<qint64>(SliceMs, left))))
            return Wait::Done;
        if (!alive())
            return Wait::Failed;
        QCoreApplication::processEvents();
    }
}

// waitForConnected() gives up on an address when its time runs out, so a
// connection in progress is awaited through the event loop instead.
FtpSession::Wait FtpSession::waitConnected(QAbstractSocket &socket, int totalMs)
{
    const auto step = [this, &socket](int ms) {
        if (socket.state() != QAbstractSocket::ConnectedState) {
            QEventLoop loop;
            QObject::connect(&m_connectSlice, &QTimer::timeout, &loop, &QEventLoop::quit);
            QObject::connect(&socket, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
            m_connectSlice.start(ms);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            m_connectSlice.stop();
        }
        return socket.state() == QAbstractSocket::ConnectedState;
    };
    const Wait w = waitSliced(totalMs, step, [&socket] { return socket.state() != QAbstractSocket::UnconnectedState; });
    if (w != Wait::Done)
        socket.abort();
    return w;
}

FtpSession::Wait FtpSession::waitEncrypted(QSslSocket &socket, int totalMs)
{
    return waitSliced(
        totalMs, [&socket](int ms) { return socket.isEncrypted() || socket.waitForEncrypted(ms); },
        [&socket] { return socket.state() == QAbstractSocket::ConnectedState; });
}

FtpSession::Wait FtpSession::waitReadable(QAbstractSocket &socket, int totalMs)
{
    return waitSliced(
        totalMs, [&socket](int ms) { return socket.bytesAvailable() > 0 || socket.waitForReadyRead(ms); },
        [&socket] { return socket.state() == QAbstractSocket::ConnectedState; });
}

// Within a listing no wait outlasts the listing's deadline.
int FtpSession::remainingMs(int idleMs) const
{
    const qint64 left = m_listingDeadline.remainingTime();
    return left < 0 ? idleMs : int(qMin<qint64>(idleMs, left));
}

bool FtpSession::connectControl()
{
    m_ctrl = std::make_unique<QSslSocket>();
    m_buffer.clear();
    m_readPos = m_scanPos = 0;
    // Data connections resume the control connection's TLS session (vsftpd
    // insists), so the session must be kept.
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    m_ctrl->setSslConfiguration(config);
    m_ctrl->setPeerVerifyName(m_logon.host);
    watchCertificate(*m_ctrl);
    m_ctrl->connectToHost(m_logon.host, m_logon.port);
    if (waitConnected(*m_ctrl, m_logon.connectTimeoutMs) != Wait::Done)
        return fail(cancelled() ? QStringLiteral("Cancelled") : m_ctrl->errorString());
    m_ctrl->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_logon.tls == FtpLogon::Tls::Implicit && !m_plainAfterRefusal && !startTls())
        return false;
    // A 120 greeting means "ready in a while": wait for the real one.
    FtpReply greeting = readReply(m_logon.connectTimeoutMs);
    while (greeting.isPreliminary())
        greeting = readReply(m_logon.connectTimeoutMs);
    if (!greeting.isPositive())
        return fail(replyError(greeting));
    return true;
}

bool FtpSession::tlsOffered()
{
    const FtpReply r = command("FEAT");
    for (const QByteArray &line : r.lines)
        if (line.trimmed().toUpper().startsWith("AUTH") && line.toUpper().contains("TLS"))
            return true;
    return false;
}

// Explicit TLS before the user name goes out. Under "try" a server that does
// not offer it gets a plain log-on; under "require" the log-on stops here.
bool FtpSession::secureControl()
{
    using Tls = FtpLogon::Tls;
    if (m_logon.tls == Tls::Off || m_logon.tls == Tls::Implicit || m_plainAfterRefusal)
        return true;
    if (m_logon.tls == Tls::Try && !tlsOffered()) {
        notice(QStringLiteral("   The server does not offer TLS: plain FTP"));
        return isOpen() || fail(replyError(FtpReply()));
    }
    const FtpReply r = command("AUTH TLS");
    if (r.code == 234)
        return startTls();
    if (m_logon.tls == Tls::Require)
        return breakOff(QStringLiteral("The server does not offer TLS (%1); the password was not sent")
                            .arg(r.code ? replyError(r) : QStringLiteral("no reply")));
    notice(QStringLiteral("   The server refused TLS: plain FTP"));
    return isOpen() || fail(replyError(r));
}

bool FtpSession::startTls()
{
    if (m_readPos < m_buffer.size())
        return breakOff(QStringLiteral("The server sent data before the TLS handshake"));
    m_certificateProblem.clear();
    m_ctrl->startClientEncryption();
    const Wait w = waitEncrypted(*m_ctrl, m_logon.connectTimeoutMs);
    if (w == Wait::Done) {
        notice(QStringLiteral("   %1 (%2), certificate SHA-256 %3")
                   .arg(protocolName(m_ctrl->sessionProtocol()), m_ctrl->sessionCipher().name(),
                        CertificateFingerprint::text(CertificateFingerprint::sha256(m_ctrl->peerCertificate()))));
        return true;
    }
    // Whatever happened, nothing more goes out on this connection.
    const QByteArray sha = CertificateFingerprint::sha256(m_ctrl->peerCertificate());
    m_ctrl->abort();
    if (!m_certificateProblem.isEmpty())
        return refuseCertificate(m_certificateProblem, sha);
    return fail(w == Wait::Cancelled ? QStringLiteral("Cancelled")
                                     : QStringLiteral("TLS handshake failed: %1").arg(m_ctrl->errorString()));
}

bool FtpSession::refuseCertificate(const QString &problem, const QByteArray &sha)
{
    const QString fp = CertificateFingerprint::text(sha);
    const bool mayGoPlain = m_logon.tls == FtpLogon::Tls::Try && isAnonymous(m_logon);
    if (mayGoPlain) {
        // An anonymous password is no secret: the listing is worth more than
        // the encryption here, and the log says so.
        notice(QStringLiteral("   Warning: the certificate of %1 is not trusted (%2); going on without TLS. "
                              "SHA-256 fingerprint: %3")
                   .arg(m_logon.host, problem, fp));
        m_plainAfterRefusal = true;
        return false;
    }
    return fail(QStringLiteral("The certificate of %1 is not trusted (%2). SHA-256 fingerprint: %3")
                    .arg(m_logon.host, problem, fp));
}

void FtpSession::watchCertificate(QSslSocket &socket)
{
    QObject::connect(&socket, &QSslSocket::sslErrors,
                     [this, &socket](const QList<QSslError> &errors) { onSslErrors(socket, errors); });
}

// A certificate the system does not vouch for is accepted only when its
// fingerprint is pinned for the host or the user trusts it now. Data
// connections must show the very certificate the control connection showed.
void FtpSession::onSslErrors(QSslSocket &socket, const QList<QSslError> &errors)
{
    const QByteArray sha = CertificateFingerprint::sha256(socket.peerCertificate());
    if (!sha.isEmpty() && sha == m_acceptedSha256) {
        socket.ignoreSslErrors();
        return;
    }
    if (&socket != m_ctrl.get())
        return;
    QStringList problems;
    for (const QSslError &e : errors)
        problems << e.errorString();
    const QString problem = problems.join(QStringLiteral("; "));
    if (!sha.isEmpty() && sha == m_logon.pinnedSha256) {
        m_acceptedSha256 = sha;
    } else if (!sha.isEmpty() && m_prompt
               && m_prompt->trustCertificate(m_logon.host, CertificateFingerprint::text(sha), problem)) {
        m_acceptedSha256 = sha;
        m_newlyTrusted = sha;
    } else {
        m_certificateProblem = problem;
        return;
    }
    socket.ignoreSslErrors();
}

void FtpSession::protectData()
{
    m_protectData = false;
    if (!m_ctrl->isEncrypted())
        return;
    command("PBSZ 0");
    m_protectData = command("PROT P").isPositive();
    if (!m_protectData)
        notice(QStringLiteral("   The server refused protected data connections: listings come unencrypted"));
}

bool FtpSession::login()
{
    if (m_logon.tls == FtpLogon::Tls::Require && !m_ctrl->isEncrypted())
        return fail(QStringLiteral("No TLS; the password was not sent"));
    const QString user = m_logon.user.isEmpty() ? QStringLiteral("anonymous") : m_logon.user;
    // Anonymous servers ask for an address as password: name ourselves.
    const QString pass = m_logon.password.isEmpty() && m_logon.user.isEmpty()
        ? QStringLiteral("Harvex@") : m_logon.password;
    // A line break would end the command and start another one.
    for (const QString &s : {user, pass})
        if (s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0)))
            return fail(QStringLiteral("The user name or password holds a line break"));
    FtpReply r = command("USER " + user.toUtf8());
    if (r.isIntermediate())
        r = command("PASS " + pass.toUtf8());
    if (!r.isPositive())
        return fail(replyError(r));
    return true;
}

void FtpSession::readFeatures()
{
    m_features.clear();
    QByteArray mlstFacts;
    const FtpReply r = command("FEAT");
    if (r.isPositive()) {
        for (qsizetype i = 1; i + 1 < r.lines.size(); ++i) {
            const QByteArrayList words = r.lines[i].trimmed().split(' ');
            const QByteArray feature = words.first().toUpper();
            m_features.insert(feature);
            if (feature == "MLST" && words.size() > 1)
                mlstFacts = words[1];
        }
    }
    if (m_features.contains("UTF8"))
        command("OPTS UTF8 ON");
    if (m_features.contains("CLNT"))
        command("CLNT Harvex");
    selectFacts(mlstFacts);
}

// Asks for only the facts a listing is read for. ProFTPD's default set adds
// owner and group names, looked up for every entry; on a 100,000-entry tree
// they cost the server more than the listing itself. A server may ignore the
// request (Pure-FTPd does) or refuse it: the listing is read the same.
void FtpSession::selectFacts(const QByteArray &offered)
{
    static const QByteArrayList read{"type", "size", "sizd", "modify", "unique"};
    QByteArray chosen;
    for (QByteArray fact : offered.split(';')) {
        if (fact.endsWith('*'))
            fact.chop(1);
        if (read.contains(fact.toLower()))
            chosen += fact + ';';
    }
    // Without the type every folder would read as a file: the defaults stay.
    if (chosen.toLower().contains("type;"))
        command("OPTS MLST " + chosen);
}

// Only some systems' listings need the hint; the rest are read by shape.
void FtpSession::readSystem()
{
    const FtpReply r = command("SYST");
    m_family = r.isPositive() ? ListingParser::familyFromSyst(r.text()) : ListingParser::Family::Any;
}

void FtpSession::chooseMethod()
{
    m_supported.clear();
    if (m_features.contains("MLST")) {
        m_method = Method::Mlsd;
        m_supported = {Method::Mlsd, Method::List};
        return;
    }
    // Plain LIST hides dot-files on most servers; "-a" shows them where it is
    // understood, and is taken as a file name where it is not.
    const Listing plain = listWith(Method::List, QByteArray());
    const Listing all = listWith(Method::ListA, QByteArray());
    const bool dashA = all.ok && all.entries.size() >= plain.entries.size();
    const Listing &reference = dashA ? all : plain;
    m_method = dashA ? Method::ListA : Method::List;
    m_supported = {m_method};
    const Method stat = dashA ? Method::StatA : Method::Stat;
    if (reference.ok && probeStat(reference, stat)) {
        m_supported.append(stat);
        m_method = stat;
    }
}

// Servers differ in what STAT shows; use it only where it gives exactly the
// data-connection listing's entries.
bool FtpSession::probeStat(const Listing &reference, Method statMethod)
{
    const Listing viaStat = listWith(statMethod, QByteArray());
    return viaStat.ok && viaStat.badLines == reference.badLines && namesOf(viaStat) == namesOf(reference);
}

// "MLSD /a/b" spares the server a CWD per folder: a tenth of a scan's
// processor time on ProFTPD. A server that ignored the argument would list
// its current folder everywhere, so each connection lists one subfolder both
// ways first, the path form from the top, where such a server would list the
// top. Only passive listings that go out with EPSV take the path form.
bool FtpSession::probeMlsdPath()
{
    m_mlsdByPath = false;
    const Listing top = listWith(Method::Mlsd, QByteArray());
    QByteArray sub;
    for (const FindData &e : top.entries) {
        if ((e.dwFileAttributes & FindData::AttrDirectory) && plainPath(e.wireName)) {
            sub = e.wireName;
            break;
        }
    }
    if (!top.ok || sub.isEmpty())
        return false;
    m_mlsdByPath = true;
    m_pathFormSent = false;
    const Listing viaPath = listWith(Method::Mlsd, sub);
    const bool sent = m_pathFormSent;
    m_mlsdByPath = false;
    const Listing viaCwd = listWith(Method::Mlsd, sub);
    return sent && viaPath.ok && viaCwd.ok && namesOf(viaPath) == namesOf(viaCwd)
        && factsOf(viaPath) == factsOf(viaCwd) && factsOf(viaPath) != factsOf(top);
}

// Names a server could take for a pattern or trim stay with the CWD form.
bool FtpSession::plainPath(const QByteArray &path)
{
    for (const char c : path) {
        if (uchar(c) < 0x21 || c == 0x7f || QByteArrayView("*?[]{}~\\").contains(c))
            return false;
    }
    return true;
}

bool FtpSession::isAlive()
{
    if (m_ctrl->state() != QAbstractSocket::ConnectedState)
        return false;
    if (m_prefetched)
        return true; // what is waiting is the asked-for listing
    m_ctrl->waitForReadyRead(0);
    // Anything unasked for is a goodbye (421) or noise before one.
    if (m_ctrl->bytesAvailable() > 0 || m_readPos < m_buffer.size()) {
        const FtpReply r = readReply(100);
        if (r.code == 421 || r.code == 0)
            return false;
    }
    return m_ctrl->state() == QAbstractSocket::ConnectedState;
}

bool FtpSession::safeInPath(const QByteArray &name)
{
    return !name.contains('\0') && !name.contains('\r') && !name.contains('\n') && !name.contains('/');
}

bool FtpSession::changeDir(const QByteArray &path)
{
    FtpReply unused;
    return commandInFolder(path, QByteArray(), unused);
}

// Changes into path (when not there yet) and sends cmd in the same write: one
// round trip less per folder. cmd must be harmless should the change fail
// (a port command is); its reply is read and dropped then.
bool FtpSession::commandInFolder(const QByteArray &path, const QByteArray &cmd, FtpReply &reply)
{
    if (path.contains('\0') || path.contains('\r') || path.contains('\n'))
        return fail(QStringLiteral("Unsafe characters in the folder name"));
    if (path == m_cwd && !m_cwd.isNull()) {
        if (!cmd.isEmpty())
            reply = command(cmd);
        return true;
    }
    send("CWD /" + path + "\r\n" + (cmd.isEmpty() ? QByteArray() : cmd + "\r\n"));
    const FtpReply cwd = readReply(m_logon.idleTimeoutMs);
    if (!cmd.isEmpty())
        reply = cwd.code ? readReply(m_logon.idleTimeoutMs) : FtpReply();
    if (!cwd.isPositive()) {
        m_cwd = QByteArray();
        return fail(replyError(cwd));
    }
    m_cwd = path.isNull() ? QByteArray("") : path;
    return true;
}

// A listing that timed out leaves the session reset (ABOR answered, or a new
// log-on), so the caller can go straight on with the next folder.
FtpSession::Listing FtpSession::list(const QByteArray &path)
{
    if (m_method == Method::Mlsd && m_passiveNow && !m_pathProbed) {
        m_pathProbed = true;
        m_listingDeadline.setRemainingTime(m_logon.listingDeadlineMs);
        m_mlsdByPath = probeMlsdPath();
        m_listingDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
        // The listing asked for starts on a connection of its own should
        // the trial have lost this one (a stall, a 421).
        if (!isOpen() && !cancelled() && !reopen()) {
            Listing lost;
            lost.error = m_error;
            return lost;
        }
    }
    m_timedOut = false;
    m_replyProblem.clear();
    m_listingDeadline.setRemainingTime(m_logon.listingDeadlineMs);
    Listing l;
    if (m_prefetched && m_prefetchPath == path) {
        l = takePrefetched();
    } else {
        dropPrefetched();
        l = listWith(m_method, path);
    }
    const bool pastDeadline = m_listingDeadline.hasExpired();
    m_listingDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
    if (m_timedOut || pastDeadline) {
        l.ok = false;
        l.timedOut = true;
        if (pastDeadline)
            l.error = QStringLiteral("The listing took longer than %1 s").arg(m_logon.listingDeadlineMs / 1000.0);
        if (!isOpen() && !cancelled() && !reopen())
            l.error += QStringLiteral("; reconnecting failed: ") + m_error;
    }
    return l;
}

// Asks for a listing now and reads it at the next list() of that path, so the
// server works on it while the caller stores the previous one. Only for the
// listings that come on the control connection.
void FtpSession::prefetch(const QByteArray &path)
{
    if (m_prefetched || !onControl(m_method) || !isOpen())
        return;
    if (path.contains('\0') || path.contains('\r') || path.contains('\n'))
        return;
    QByteArray batch;
    if (path != m_cwd || m_cwd.isNull())
        batch = "CWD /" + path + "\r\n";
    send(batch + commandFor(m_method) + "\r\n");
    m_prefetched = true;
    m_prefetchPath = path;
    m_prefetchCwd = !batch.isEmpty();
}

FtpSession::Listing FtpSession::takePrefetched()
{
    m_prefetched = false;
    Listing result;
    if (m_prefetchCwd) {
        const FtpReply cwd = readReply(m_logon.idleTimeoutMs);
        const FtpReply listing = cwd.code ? readReply(m_logon.idleTimeoutMs) : FtpReply();
        if (!cwd.isPositive()) {
            // The listing that followed was of the previous folder: dropped.
            m_cwd = QByteArray();
            result.error = replyError(cwd);
            return result;
        }
        m_cwd = m_prefetchPath.isNull() ? QByteArray("") : m_prefetchPath;
        return controlListing(listing, m_method);
    }
    return controlListing(readReply(m_logon.idleTimeoutMs), m_method);
}

void FtpSession::dropPrefetched()
{
    if (!m_prefetched)
        return;
    takePrefetched();
}

FtpSession::Listing FtpSession::listWith(Method m, const QByteArray &path)
{
    if (!isOpen()) {
        Listing failed;
        failed.error = QStringLiteral("Not connected");
        return failed;
    }
    if (onControl(m)) {
        if (!changeDir(path)) {
            Listing failed;
            failed.error = m_error;
            return failed;
        }
        return listOnControl(m);
    }
    return listOnData(m, path);
}

FtpSession::Listing FtpSession::listOnControl(Method m)
{
    return controlListing(command(commandFor(m)), m);
}

FtpSession::Listing FtpSession::controlListing(const FtpReply &r, Method m) const
{
    if (!r.isPositive()) {
        Listing failed;
        failed.error = replyError(r);
        return failed;
    }
    // The listing is the reply's inner lines.
    Listing l = parseLines(r.lines.mid(1, qMax<qsizetype>(0, r.lines.size() - 2)), m);
    l.ok = true;
    return l;
}

void FtpSession::noteMode()
{
    if (m_modeNoted)
        return;
    m_modeNoted = true;
    notice(QStringLiteral("   Data connections: %1 mode%2")
               .arg(m_passiveNow ? QStringLiteral("passive") : QStringLiteral("active"),
                    m_protectData ? QStringLiteral(", TLS") : QString()));
}

// The user's mode first; when the server refuses passive mode outright, or
// active connections never arrive, the other mode for the rest of the
// session. The stored setting stays what the user chose.
bool FtpSession::startListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r)
{
    noteMode();
    if (m_passiveNow) {
        m_passiveRefused = false;
        if (startPassiveListing(m, path, data, r) || !m_passiveRefused || !isOpen())
            return data != nullptr;
        m_passiveNow = false;
        notice(QStringLiteral("   Passive mode refused by the server (%1); data connections use active mode")
                   .arg(QString(m_error).remove(QStringLiteral("Passive mode refused: "))));
        return startActiveListing(m, path, data, r);
    }
    m_activeFailed = false;
    if (startActiveListing(m, path, data, r) || !m_activeFailed)
        return data != nullptr;
    const QString why = m_error;
    if (!isOpen() && !reopen())
        return false;
    m_passiveNow = true;
    notice(QStringLiteral("   Active mode failed (%1); data connections use passive mode").arg(why));
    return startPassiveListing(m, path, data, r);
}

// A plain data connection is a plain socket: QSslSocket wraps a second
// socket object, and building it and relaying its signals for every folder
// cost a parallel scan about a twentieth of its processor time.
std::unique_ptr<QTcpSocket> FtpSession::newDataSocket()
{
    if (!m_protectData)
        return std::make_unique<QTcpSocket>();
    auto data = std::make_unique<QSslSocket>();
    data->setSslConfiguration(m_ctrl->sslConfiguration());
    data->setPeerVerifyName(m_logon.host);
    watchCertificate(*data);
    return data;
}

// One listening port serves the whole session: binding a new one for every
// folder gets slow once thousands of closed connections linger. A server
// that connects from port 20 cannot reach the same port again so soon and
// says 425: then every listing gets a port of its own.
QTcpServer *FtpSession::activeServer()
{
    if (m_reusePort && m_activeServer && m_activeServer->isListening())
        return m_activeServer.get();
    m_activeServer = std::make_unique<DataListener>();
    if (!m_activeServer->listen(m_ctrl->localAddress(), 0)) {
        fail(m_activeServer->errorString());
        return nullptr;
    }
    return m_activeServer.get();
}

bool FtpSession::startActiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTcpServer *server = activeServer();
        if (!server || !prepareActive(*server, path))
            return false;
        r = command(commandFor(m));
        if (r.code == 425 && m_reusePort) {
            m_reusePort = false;
            continue;
        }
        if (!r.isPreliminary()) {
            m_activeFailed = r.code == 425 || r.code == 426;
            return fail(replyError(r));
        }
        return acceptActive(*server, data);
    }
    m_activeFailed = true;
    return fail(replyError(r));
}

bool FtpSession::acceptActive(QTcpServer &server, std::unique_ptr<QTcpSocket> &data)
{
    const auto step = [&server](int ms) { return server.hasPendingConnections() || server.waitForNewConnection(ms); };
    const Wait w = waitSliced(m_logon.idleTimeoutMs, step, [this] { return isOpen(); });
    if (w != Wait::Done) {
        // The server still owes the reply to the listing command: the
        // control connection is out of step and ends.
        m_activeFailed = w == Wait::TimedOut;
        return breakOff(QStringLiteral("The server did not open the data connection"));
    }
    auto *accepted = static_cast<QSslSocket *>(server.nextPendingConnection());
    accepted->setParent(nullptr);
    data.reset(accepted);
    if (m_protectData) {
        const QSslConfiguration config = m_ctrl->sslConfiguration();
        accepted->setSslConfiguration(config);
        accepted->setPeerVerifyName(m_logon.host);
        watchCertificate(*accepted);
        accepted->startClientEncryption();
    }
    return true;
}

bool FtpSession::startPassiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r)
{
    if (m_epsvWorks)
        return startPassiveTogether(m, path, data, r);
    data = openPassive(path);
    if (!data)
        return false;
    r = command(commandFor(m));
    if (r.isPreliminary())
        return true;
    data.reset();
    return fail(replyError(r));
}

// Where EPSV has answered before, the change of folder, EPSV and the listing
// command go in one write, and the server waits for the data connection the
// listing needs: one round trip less per folder.
bool FtpSession::startPassiveTogether(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r)
{
    if (path.contains('\0') || path.contains('\r') || path.contains('\n'))
        return fail(QStringLiteral("Unsafe characters in the folder name"));
    const bool byPath = m == Method::Mlsd && m_mlsdByPath && plainPath(path);
    const bool cd = !byPath && (path != m_cwd || m_cwd.isNull());
    const QByteArray listCommand = byPath ? "MLSD /" + path : commandFor(m);
    m_pathFormSent = byPath;
    send((cd ? "CWD /" + path + "\r\n" : QByteArray()) + "EPSV\r\n" + listCommand + "\r\n");
    const FtpReply cwd = cd ? readReply(remainingMs(m_logon.idleTimeoutMs)) : FtpReply{250, {}};
    const FtpReply epsv = cwd.code ? readReply(remainingMs(m_logon.idleTimeoutMs)) : FtpReply();
    const int port = epsvPort(epsv);
    if (port <= 0 || port > 65535)
        return passiveTogetherRefused(m, path, data, r, cd ? cwd : FtpReply(), epsv);
    data = newDataSocket();
    data->connectToHost(m_ctrl->peerAddress(), quint16(port));
    if (waitConnected(*data, m_logon.connectTimeoutMs) != Wait::Done) {
        data.reset();
        // The server still waits for it to answer the listing command.
        return breakOff(QStringLiteral("The data connection failed"));
    }
    if (m_protectData)
        static_cast<QSslSocket &>(*data).startClientEncryption();
    r = readReply(remainingMs(m_logon.idleTimeoutMs));
    if (!cwd.isPositive()) {
        m_cwd = QByteArray();
        // The listing went ahead in the folder before: read and dropped.
        dropListing(*data, r);
        data.reset();
        return fail(replyError(cwd));
    }
    if (cd)
        m_cwd = path.isNull() ? QByteArray("") : path;
    if (r.isPreliminary())
        return true;
    data.reset();
    if (byPath && r.code >= 500 && isOpen())
        return pathFormRefused(m, path, data, r);
    return fail(replyError(r));
}

// A server that took "MLSD /path" before may refuse it for one folder (a
// path too long for it, say) that it lists after a CWD: that folder goes the
// CWD way, and the next ones try the path again.
bool FtpSession::pathFormRefused(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r)
{
    m_mlsdByPath = false;
    const bool ok = startPassiveTogether(m, path, data, r);
    m_mlsdByPath = true;
    return ok;
}

// EPSV failed this time: the listing command still owes its reply (a refusal
// without a data port), and then the classic order takes over. cwd is the
// reply to the CWD sent with them; code 0 when none went (the folder was
// current, or named in the listing command).
bool FtpSession::passiveTogetherRefused(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data,
                                        FtpReply &r, const FtpReply &cwd, const FtpReply &epsv)
{
    if (epsv.code == 0)
        return fail(replyError(cwd.code ? epsv : cwd));
    r = readReply(remainingMs(m_logon.idleTimeoutMs));
    if (r.code == 0 || r.isPreliminary())
        return breakOff(QStringLiteral("Passive mode refused: %1").arg(replyError(epsv)));
    m_epsvWorks = false;
    if (cwd.code == 0)
        return startPassiveListing(m, path, data, r);
    m_cwd = cwd.isPositive() ? (path.isNull() ? QByteArray("") : path) : QByteArray();
    if (!cwd.isPositive())
        return fail(replyError(cwd));
    return startPassiveListing(m, path, data, r);
}

void FtpSession::dropListing(QTcpSocket &data, const FtpReply &started)
{
    if (!started.isPreliminary())
        return;
    QByteArray unused;
    if (readData(data, unused) == Wait::Done)
        readReply(remainingMs(m_logon.idleTimeoutMs));
    else
        recoverAfterStall();
    data.abort();
}

FtpSession::Listing FtpSession::listOnData(Method m, const QByteArray &path)
{
    Listing result;
    std::unique_ptr<QTcpSocket> data;
    FtpReply r;
    if (!startListing(m, path, data, r)) {
        result.error = m_error;
        return result;
    }
    if (m_protectData && waitEncrypted(static_cast<QSslSocket &>(*data), remainingMs(m_logon.idleTimeoutMs)) != Wait::Done) {
        result.error = QStringLiteral("TLS on the data connection failed: %1").arg(data->errorString());
        data->abort();
        recoverAfterStall();
        return result;
    }
    QByteArray bytes;
    const Wait read = readData(*data, bytes);
    data->abort();
    if (read != Wait::Done)
        recoverAfterStall();
    else
        r = readReply(remainingMs(m_logon.idleTimeoutMs));
    return finishData(result, read, bytes, r, m);
}

FtpSession::Listing FtpSession::finishData(Listing result, Wait read, const QByteArray &bytes, const FtpReply &r, Method m)
{
    QByteArrayList lines = bytes.split('\n');
    const bool complete = bytes.endsWith('\n') || bytes.isEmpty();
    // A line the connection cut short is no name: keep it only when the
    // server says the transfer completed.
    if (read != Wait::Done || !r.isPositive() || !complete)
        lines.removeLast();
    result = parseLines(std::move(lines), m);
    result.ok = read == Wait::Done && r.isPositive();
    if (read == Wait::TimedOut)
        result.error = QStringLiteral("The data connection stalled");
    else if (read == Wait::Cancelled)
        result.error = QStringLiteral("Cancelled");
    else if (!result.ok)
        result.error = replyError(r);
    return result;
}

// A stalled transfer costs one time-out, never two: ABOR, and when the
// server does not answer it at once, a new log-on (in list()).
void FtpSession::recoverAfterStall()
{
    m_timedOut = true;
    if (!isOpen() || cancelled())
        return;
    send("ABOR\r\n");
    const int grace = qBound(200, m_logon.idleTimeoutMs / 4, 2000);
    // 426 for the aborted transfer, then 226; or 226 alone when it had ended.
    for (int i = 0; i < 2; ++i) {
        const FtpReply r = readReply(grace);
        if (r.code != 426 && !r.isPreliminary())
            break;
    }
}

// The end of a protected listing is the server's close_notify, after which
// it waits for ours (vsftpd does): QSslSocket reports it as an error but
// stays connected, so it is watched for and answered.
FtpSession::Wait FtpSession::readData(QTcpSocket &data, QByteArray &bytes)
{
    bool peerClosed = false;
    const auto watch = QObject::connect(&data, &QAbstractSocket::errorOccurred, [&peerClosed](QAbstractSocket::SocketError e) {
        peerClosed = peerClosed || e == QAbstractSocket::RemoteHostClosedError;
    });
    Wait result = Wait::Done;
    for (;;) {
        bytes += data.readAll();
        if (data.state() != QAbstractSocket::ConnectedState || peerClosed)
            break;
        const auto step = [&data, &peerClosed](int ms) { return data.bytesAvailable() > 0 || data.waitForReadyRead(ms) || peerClosed; };
        const Wait w = waitSliced(remainingMs(m_logon.idleTimeoutMs), step,
                                  [&data] { return data.state() == QAbstractSocket::ConnectedState; });
        if (w == Wait::TimedOut || w == Wait::Cancelled) {
            result = w;
            break;
        }
    }
    bytes += data.readAll();
    QObject::disconnect(watch);
    if (peerClosed && data.state() == QAbstractSocket::ConnectedState) {
        data.disconnectFromHost(); // sends our close_notify
        data.waitForBytesWritten(SliceMs);
    }
    return result;
}

// Numbers above 255 would carry into the port arithmetic
// ("16777216,1" makes port 1): the whole reply is refused.
int FtpSession::pasvPort(const FtpReply &r)
{
    static const QRegularExpression pasv(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const auto m = pasv.match(QString::fromLatin1(r.text()));
    if (r.code != 227 || !m.hasMatch())
        return -1;
    int n[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        n[i] = m.captured(i + 1).toInt(&ok);
        if (!ok || n[i] > 255)
            return -1;
    }
    return n[4] * 256 + n[5];
}

int FtpSession::passivePort(const QByteArray &path, FtpReply &r)
{
    if (!commandInFolder(path, "EPSV", r))
        return -1;
    if (r.code == 229) {
        const int port = epsvPort(r);
        m_epsvWorks = port > 0 && port <= 65535;
        return port;
    }
    const bool epsvRefused = r.code >= 500 && r.code < 600;
    r = command("PASV");
    m_passiveRefused = epsvRefused && r.code >= 500 && r.code < 600;
    return pasvPort(r);
}

int FtpSession::epsvPort(const FtpReply &r)
{
    static const QRegularExpression epsv(QStringLiteral("\\(\\|\\|\\|(\\d{1,5})\\|\\)"));
    const auto m = epsv.match(QString::fromLatin1(r.text()));
    return r.code == 229 && m.hasMatch() ? m.captured(1).toInt() : -1;
}

std::unique_ptr<QTcpSocket> FtpSession::openPassive(const QByteArray &path)
{
    FtpReply r;
    const int port = passivePort(path, r);
    if (port <= 0 || port > 65535) {
        fail(QStringLiteral("Passive mode refused: %1").arg(replyError(r)));
        return nullptr;
    }
    // The address in a PASV reply is ignored: data goes to the server we
    // logged on to, never to a host the reply names.
    auto data = newDataSocket();
    data->connectToHost(m_ctrl->peerAddress(), quint16(port));
    if (waitConnected(*data, m_logon.connectTimeoutMs) != Wait::Done) {
        fail(data->errorString());
        return nullptr;
    }
    // The handshake completes once the server has answered the listing
    // command: it starts its side only then.
    if (m_protectData)
        static_cast<QSslSocket &>(*data).startClientEncryption();
    return data;
}

bool FtpSession::prepareActive(QTcpServer &server, const QByteArray &path)
{
    const QHostAddress local = m_ctrl->localAddress();
    const bool v6 = local.protocol() == QAbstractSocket::IPv6Protocol;
    QString address = local.toString();
    address = address.section(u'%', 0, 0); // no scope id on the wire
    const QByteArray eprt = QStringLiteral("EPRT |%1|%2|%3|").arg(v6 ? 2 : 1).arg(address).arg(server.serverPort()).toLatin1();
    FtpReply r;
    if (!commandInFolder(path, eprt, r))
        return false;
    if (!r.isPositive() && !v6 && isOpen()) {
        QByteArray port = address.toLatin1().replace('.', ',');
        port += ',' + QByteArray::number(server.serverPort() / 256) + ','
            + QByteArray::number(server.serverPort() % 256);
        r = command("PORT " + port);
    }
    if (!r.isPositive())
        return fail(QStringLiteral("Active mode refused: %1").arg(replyError(r)));
    return true;
}

FtpSession::Listing FtpSession::parseLines(QByteArrayList lines, Method m) const
{
    const ListingParser parser(m == Method::Mlsd ? ListingParser::Format::Mlsd : ListingParser::Format::List,
                               m_family);
    const ListingParser::Parsed parsed = parser.parseListing(std::move(lines));
    Listing l;
    l.entries.reserve(parsed.entries.size());
    for (const ListedEntry &e : parsed.entries)
        l.entries.append(toFindData(e));
    l.badLines = parsed.unreadable;
    l.badSamples = parsed.samples;
    return l;
}

QString FtpSession::decodeName(const QByteArray &raw) const
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(raw);
    if (!utf8.hasError())
        return asUtf8;
    // Servers that announce UTF8 still serve old names in a local code page.
    QStringDecoder local(m_logon.codePage.constData());
    if (local.isValid())
        return local.decode(raw);
    return QString::fromLatin1(raw);
}

// The shown and stored name is a C string: a NUL would cut it, and other
// control bytes would break lines in the log and the grid.
QString FtpSession::visibleName(const QString &name)
{
    const auto control = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    if (std::none_of(name.begin(), name.end(), control))
        return name; // shared, not copied: nearly every name
    QString shown = name;
    for (QChar &c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    }
    return shown;
}

FindData FtpSession::toFindData(const ListedEntry &e) const
{
    FindData f;
    f.setName(visibleName(decodeName(e.name)));
    f.wireName = e.name;
    f.unique = e.unique;
    f.dwFileAttributes = e.attributes();
    f.setSize(e.size);
    f.sizeKnown = e.sizeKnown;
    if (const quint64 t = e.fileTime())
        f.setTimes(t);
    return f;
}

bool FtpSession::findFirstFile(const QByteArray &path, FindData &entry)
{
    const Listing l = list(path);
    m_find = l.entries;
    m_findNext = 0;
    m_error = l.error;
    return findNextFile(entry);
}

bool FtpSession::findNextFile(FindData &entry)
{
    if (m_findNext >= m_find.size())
        return false;
    entry = m_find[m_findNext++];
    return true;
}

void FtpSession::send(const QByteArray &line)
{
    m_ctrl->write(line);
}

bool FtpSession::listsOnControl() const
{
    return onControl(m_method);
}

QByteArray FtpSession::listCommand() const
{
    return commandFor(m_method);
}

// The commands change folders: where the server now is, is not known.
void FtpSession::sendAhead(const QByteArray &commands)
{
    dropPrefetched();
    m_cwd = QByteArray();
    m_ctrl->write(commands);
}

FtpReply FtpSession::nextReply(int idleMs)
{
    return readReply(idleMs);
}

void FtpSession::startListingDeadline()
{
    m_timedOut = false;
    m_listingDeadline.setRemainingTime(m_logon.listingDeadlineMs);
}

bool FtpSession::endListingDeadline()
{
    const bool passed = m_listingDeadline.hasExpired();
    m_listingDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
    return passed;
}

FtpReply FtpSession::command(const QByteArray &cmd)
{
    dropPrefetched();
    if (!isOpen())
        return FtpReply();
    send(cmd + "\r\n");
    return readReply(remainingMs(m_logon.idleTimeoutMs));
}

// Each byte that arrives is scanned for the line end once: m_scanPos
// remembers how far the search got, and taken lines only move m_readPos.
bool FtpSession::readLine(QByteArray &line, int idleMs)
{
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n', m_scanPos);
        if (nl >= 0) {
            const qsizetype end = (nl > m_readPos && m_buffer[nl - 1] == '\r') ? nl - 1 : nl;
            line = m_buffer.mid(m_readPos, end - m_readPos);
            m_readPos = m_scanPos = nl + 1;
            if (m_readPos == m_buffer.size() || m_readPos > MaxReplyLine) {
                m_buffer.remove(0, m_readPos);
                m_readPos = m_scanPos = 0;
            }
            return true;
        }
        m_scanPos = m_buffer.size();
        if (m_buffer.size() - m_readPos > MaxReplyLine)
            return breakOff(QStringLiteral("The server sent a reply line longer than %1 bytes").arg(MaxReplyLine));
        // A reply dripped line by line still ends at the listing's deadline.
        const Wait w = waitReadable(*m_ctrl, remainingMs(idleMs));
        if (w != Wait::Done && m_ctrl->bytesAvailable() == 0) {
            m_timedOut = m_timedOut || w == Wait::TimedOut;
            if (w == Wait::Cancelled)
                m_replyProblem = QStringLiteral("Cancelled");
            return false;
        }
        m_buffer += m_ctrl->readAll();
    }
}

// Exactly three digits, the first 1 to 5, then a space, a "-" or the line's end.
bool FtpSession::isReplyStart(const QByteArray &line)
{
    if (line.size() < 3 || line[0] < '1' || line[0] > '5')
        return false;
    for (int i = 1; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return false;
    return line.size() == 3 || line[3] == ' ' || line[3] == '-';
}

// RFC 959: a multi-line reply starts "ddd-" and ends only at a line that
// starts with the same code followed by a space (or the bare code, which
// some servers send); lines between may start with anything, digits included.
FtpReply FtpSession::readReply(int idleMs)
{
    FtpReply r;
    QByteArray line;
    if (!readLine(line, idleMs)) {
        // Replies can no longer be matched to commands: the session is over.
        m_ctrl->abort();
        return r;
    }
    r.lines.append(line);
    if (!isReplyStart(line)) {
        breakOff(QStringLiteral("Malformed reply from the server: \"%1\"").arg(printable(line)));
        return r;
    }
    const QByteArray code = line.left(3);
    qsizetype size = line.size();
    if (line.size() > 3 && line[3] == '-') {
        for (;;) {
            if (!readLine(line, idleMs)) {
                m_ctrl->abort();
                return FtpReply{0, r.lines};
            }
            size += line.size() + 2;
            if (size > MaxControlListing) {
                breakOff(QStringLiteral("The server's reply is longer than %1 MiB").arg(MaxControlListing >> 20));
                return FtpReply{0, r.lines};
            }
            r.lines.append(line);
            if (line.startsWith(code) && (line.size() == 3 || line[3] == ' '))
                break;
        }
    }
    r.code = code.toInt();
    m_lastCode = r.code;
    // 421: the server closes the connection after saying so; it is over
    // now, not at the next command.
    if (r.code == 421)
        m_ctrl->abort();
    return r;
}
