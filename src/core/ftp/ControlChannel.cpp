#include "ControlChannel.h"
#include "FtpLogon.h"
#include "ListingDecoder.h"
#include "SlicedWait.h"

namespace {
constexpr int QuitWaitMs = 1000;

// Shows a server's bytes in an error message without letting them break the line.
QString printable(const QByteArray &bytes)
{
    return ListingDecoder::visibleName(QString::fromLatin1(bytes.left(80)));
}

bool unsafePath(const QByteArray &path)
{
    return path.contains('\0') || path.contains('\r') || path.contains('\n');
}
} // namespace

ControlChannel::ControlChannel(const FtpLogon &logon, SlicedWait &waits)
    : m_logon(logon)
    , m_waits(waits)
    , m_socket(std::make_unique<QSslSocket>())
{
}

QSslSocket &ControlChannel::renew()
{
    m_socket = std::make_unique<QSslSocket>();
    m_buffer.clear();
    m_greeting.clear();
    m_readPos = m_scanPos = 0;
    return *m_socket;
}

bool ControlChannel::connectToServer()
{
    m_socket->connectToHost(m_logon.host, m_logon.port);
    const SlicedWait::Outcome w = m_waits.connected(*m_socket, m_logon.connectTimeoutMs);
    if (w != SlicedWait::Outcome::Done) {
        m_timedOut = m_timedOut || w == SlicedWait::Outcome::TimedOut;
        return fail(m_waits.cancelled() ? QStringLiteral("Cancelled") : m_socket->errorString());
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

bool ControlChannel::readGreeting()
{
    FtpReply greeting = readReply(m_logon.connectTimeoutMs);
    while (greeting.isPreliminary())
        greeting = readReply(m_logon.connectTimeoutMs);
    m_greeting = greeting.lines.join('\n');
    return greeting.isPositive() || failWith(greeting);
}

void ControlChannel::quit()
{
    dropPrefetched();
    if (isOpen()) {
        m_socket->write("QUIT\r\n");
        m_waits.run(
            QuitWaitMs, [this](int ms) { return m_socket->bytesToWrite() == 0 || m_socket->waitForBytesWritten(ms); },
            [this] { return isOpen(); });
    }
    m_socket->abort();
    m_buffer.clear();
    m_readPos = m_scanPos = 0;
    m_cwd.clear();
    m_prefetched = false;
}

bool ControlChannel::isAlive()
{
    if (!isOpen())
        return false;
    if (m_prefetched)
        return true; // what is waiting is the asked-for listing
    m_socket->waitForReadyRead(0);
    // Anything unasked for is a goodbye (421) or noise before one.
    if (m_socket->bytesAvailable() > 0 || hasUnread()) {
        const FtpReply r = readReply(100);
        if (r.code == 421 || r.code == 0)
            return false;
    }
    return isOpen();
}

FtpReply ControlChannel::command(const QByteArray &cmd)
{
    dropPrefetched();
    if (!isOpen())
        return FtpReply();
    send(cmd + "\r\n");
    return readReply(m_waits.remainingMs(m_logon.idleTimeoutMs));
}

// Each byte that arrives is scanned for the line end once: m_scanPos
// remembers how far the search got, and taken lines only move m_readPos.
bool ControlChannel::readLine(QByteArray &line, int idleMs)
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
        const SlicedWait::Outcome w = m_waits.readable(*m_socket, m_waits.remainingMs(idleMs));
        if (w != SlicedWait::Outcome::Done && m_socket->bytesAvailable() == 0) {
            m_timedOut = m_timedOut || w == SlicedWait::Outcome::TimedOut;
            if (w == SlicedWait::Outcome::Cancelled)
                m_replyProblem = QStringLiteral("Cancelled");
            return false;
        }
        m_buffer += m_socket->readAll();
    }
}

bool ControlChannel::isReplyStart(const QByteArray &line)
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
FtpReply ControlChannel::readReply(int idleMs)
{
    FtpReply r;
    QByteArray line;
    if (!readLine(line, idleMs)) {
        // Replies can no longer be matched to commands: the session is over.
        m_socket->abort();
        return r;
    }
    r.lines.append(line);
    if (!isReplyStart(line)) {
        breakOff(QStringLiteral("Malformed reply from the server: \"%1\"").arg(printable(line)));
        return r;
    }
    const QByteArray code = line.left(3);
    if (line.size() > 3 && line[3] == '-' && !readRest(r, code, idleMs))
        return FtpReply{0, r.lines};
    r.code = code.toInt();
    m_lastCode = r.code;
    // 421: the server closes the connection after saying so; it is over
    // now, not at the next command.
    if (r.code == 421)
        m_socket->abort();
    return r;
}

// The lines after a multi-line reply's first, up to the one that ends it.
bool ControlChannel::readRest(FtpReply &r, const QByteArray &code, int idleMs)
{
    qsizetype size = r.lines.first().size();
    QByteArray line;
    for (;;) {
        if (!readLine(line, idleMs)) {
            m_socket->abort();
            return false;
        }
        size += line.size() + 2;
        if (size > MaxControlListing)
            return breakOff(QStringLiteral("The server's reply is longer than %1 MiB").arg(MaxControlListing >> 20));
        r.lines.append(line);
        if (line.startsWith(code) && (line.size() == 3 || line[3] == ' '))
            return true;
    }
}

bool ControlChannel::changeDir(const QByteArray &path)
{
    FtpReply unused;
    return commandInFolder(path, QByteArray(), unused);
}

// Changes into path (when not there yet) and sends cmd in the same write: one
// round trip less per folder. cmd must be harmless should the change fail
// (a port command is); its reply is read and dropped then.
bool ControlChannel::commandInFolder(const QByteArray &path, const QByteArray &cmd, FtpReply &reply)
{
    if (unsafePath(path))
        return fail(QStringLiteral("Unsafe characters in the folder name"));
    if (inFolder(path)) {
        if (!cmd.isEmpty())
            reply = command(cmd);
        return true;
    }
    send("CWD /" + path + "\r\n" + (cmd.isEmpty() ? QByteArray() : cmd + "\r\n"));
    const FtpReply cwd = readReply(m_logon.idleTimeoutMs);
    if (!cmd.isEmpty())
        reply = cwd.code ? readReply(m_logon.idleTimeoutMs) : FtpReply();
    if (!cwd.isPositive()) {
        forgetFolder();
        return failWith(cwd);
    }
    enteredFolder(path);
    return true;
}

void ControlChannel::prefetch(const QByteArray &path, const QByteArray &listCommand)
{
    if (m_prefetched || !isOpen() || unsafePath(path))
        return;
    QByteArray batch;
    if (!inFolder(path))
        batch = "CWD /" + path + "\r\n";
    send(batch + listCommand + "\r\n");
    m_prefetched = true;
    m_prefetchPath = path;
    m_prefetchCwd = !batch.isEmpty();
}

void ControlChannel::takePrefetched(FtpReply &cwd, FtpReply &listing)
{
    m_prefetched = false;
    if (!m_prefetchCwd) {
        cwd = FtpReply{250, {}};
        listing = readReply(m_logon.idleTimeoutMs);
        return;
    }
    cwd = readReply(m_logon.idleTimeoutMs);
    listing = cwd.code ? readReply(m_logon.idleTimeoutMs) : FtpReply();
    // A listing after a refused change of folder was of the folder before.
    if (cwd.isPositive())
        enteredFolder(m_prefetchPath);
    else
        forgetFolder();
}

void ControlChannel::dropPrefetched()
{
    if (!m_prefetched)
        return;
    FtpReply cwd;
    FtpReply listing;
    takePrefetched(cwd, listing);
}

void ControlChannel::sendAhead(const QByteArray &commands)
{
    dropPrefetched();
    forgetFolder();
    m_socket->write(commands);
}

bool ControlChannel::fail(const QString &why)
{
    m_error = why;
    m_errorCode = 0;
    return false;
}

bool ControlChannel::failWith(const FtpReply &reply)
{
    fail(replyError(reply));
    m_errorCode = reply.code;
    return false;
}

bool ControlChannel::breakOff(const QString &why)
{
    m_replyProblem = why;
    m_socket->abort();
    return fail(why);
}

QString ControlChannel::replyError(const FtpReply &r) const
{
    if (r.code != 0)
        return QString::fromUtf8(r.text()).trimmed();
    if (!m_replyProblem.isEmpty())
        return m_replyProblem;
    if (m_timedOut)
        return QStringLiteral("No reply from the server within %1 s").arg(m_logon.idleTimeoutMs / 1000.0);
    return isOpen() ? QStringLiteral("No reply from the server")
                    : QStringLiteral("Connection lost: %1").arg(m_socket->errorString());
}

void ControlChannel::clearProblems()
{
    m_replyProblem.clear();
    m_timedOut = false;
    m_lastCode = 0;
}
