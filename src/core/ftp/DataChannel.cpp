#include "DataChannel.h"
#include "ControlChannel.h"
#include "DataListener.h"
#include "FtpLogon.h"
#include "FtpNotice.h"
#include "FtpTls.h"
#include "ListingDecoder.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSslSocket>

DataChannel::DataChannel(const FtpLogon &logon, ControlChannel &control, SlicedWait &waits, FtpTls &tls,
                         const ListingDecoder &decoder, const FtpNotice &notice)
    : m_logon(logon)
    , m_control(control)
    , m_waits(waits)
    , m_tls(tls)
    , m_decoder(decoder)
    , m_notice(notice)
{
}

void DataChannel::startOver(bool passive, bool modeNoted)
{
    m_passive = passive;
    m_modeNoted = modeNoted;
    m_epsvWorks = false;
}

void DataChannel::closeListener()
{
    m_listener.reset();
    m_reusePort = true;
}

int DataChannel::remainingMs() const
{
    return m_waits.remainingMs(m_logon.idleTimeoutMs);
}

DataChannel::Start DataChannel::failed(const QString &why)
{
    m_control.fail(why);
    return Start::Failed;
}

DataChannel::Start DataChannel::failedWith(const FtpReply &r)
{
    m_control.failWith(r);
    return Start::Failed;
}

FtpListing DataChannel::list(const ListingRequest &request)
{
    m_pathFormSent = false;
    FtpListing result;
    Socket data;
    FtpReply r;
    if (!startListing(request, data, r)) {
        result.error = m_control.error();
        result.code = m_control.errorCode();
        return result;
    }
    if (m_tls.protectsData()
        && m_waits.encrypted(static_cast<QSslSocket &>(*data), remainingMs()) != SlicedWait::Outcome::Done) {
        result.error = QStringLiteral("TLS on the data connection failed: %1").arg(data->errorString());
        data->abort();
        recoverAfterStall();
        return result;
    }
    QByteArray bytes;
    const SlicedWait::Outcome read = readData(*data, bytes);
    data->abort();
    if (read != SlicedWait::Outcome::Done)
        recoverAfterStall();
    else
        r = m_control.readReply(remainingMs());
    return finish(read, bytes, r, request.method);
}

FtpListing DataChannel::finish(SlicedWait::Outcome read, const QByteArray &bytes, const FtpReply &r,
                               ListingMethod m) const
{
    using Outcome = SlicedWait::Outcome;
    QByteArrayList lines = bytes.split('\n');
    const bool complete = bytes.endsWith('\n') || bytes.isEmpty();
    // A line the connection cut short is no name: keep it only when the
    // server says the transfer completed.
    if (read != Outcome::Done || !r.isPositive() || !complete)
        lines.removeLast();
    FtpListing result = m_decoder.parseLines(std::move(lines), m);
    result.ok = read == Outcome::Done && r.isPositive();
    result.code = read == Outcome::Done ? r.code : 0;
    if (read == Outcome::TimedOut)
        result.error = QStringLiteral("The data connection stalled");
    else if (read == Outcome::Cancelled)
        result.error = QStringLiteral("Cancelled");
    else if (!result.ok)
        result.error = m_control.replyError(r);
    return result;
}

void DataChannel::noteMode()
{
    if (m_modeNoted)
        return;
    m_modeNoted = true;
    m_notice(QStringLiteral("   Data connections: %1 mode%2")
                 .arg(m_passive ? QStringLiteral("passive") : QStringLiteral("active"),
                      m_tls.protectsData() ? QStringLiteral(", TLS") : QString()));
}

// The user's mode first; when the server refuses passive mode outright, or
// active connections never arrive, the other mode for the rest of the
// session. The stored setting stays what the user chose.
bool DataChannel::startListing(const ListingRequest &request, Socket &data, FtpReply &r)
{
    noteMode();
    if (m_passive) {
        if (startPassive(request, data, r) != Start::ModeFailed || !m_control.isOpen())
            return data != nullptr;
        m_passive = false;
        m_notice(QStringLiteral("   Passive mode refused by the server (%1); data connections use active mode")
                     .arg(QString(m_control.error()).remove(QStringLiteral("Passive mode refused: "))));
        return startActive(request, data, r) == Start::Started;
    }
    if (startActive(request, data, r) != Start::ModeFailed)
        return data != nullptr;
    const QString why = m_control.error();
    if (!m_control.isOpen() && !(m_reconnect && m_reconnect()))
        return false;
    m_passive = true;
    m_notice(QStringLiteral("   Active mode failed (%1); data connections use passive mode").arg(why));
    return startPassive(request, data, r) == Start::Started;
}

// A plain data connection is a plain socket: QSslSocket wraps a second
// socket object, and building it and relaying its signals for every folder
// cost a parallel scan about a twentieth of its processor time.
std::unique_ptr<QTcpSocket> DataChannel::newDataSocket()
{
    if (!m_tls.protectsData())
        return std::make_unique<QTcpSocket>();
    auto data = std::make_unique<QSslSocket>();
    m_tls.prepareData(*data);
    return data;
}

// One listening port serves the whole session: binding a new one for every
// folder gets slow once thousands of closed connections linger. A server
// that connects from port 20 cannot reach the same port again so soon and
// says 425: then every listing gets a port of its own.
QTcpServer *DataChannel::activeServer()
{
    if (m_reusePort && m_listener && m_listener->isListening())
        return m_listener.get();
    m_listener = std::make_unique<DataListener>();
    if (!m_listener->listen(m_control.socket().localAddress(), 0)) {
        m_control.fail(m_listener->errorString());
        return nullptr;
    }
    return m_listener.get();
}

DataChannel::Start DataChannel::startActive(const ListingRequest &request, Socket &data, FtpReply &r)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTcpServer *server = activeServer();
        if (!server || !prepareActive(*server, request.path))
            return Start::Failed;
        r = m_control.command(listingCommand(request.method));
        if (r.code == 425 && m_reusePort) {
            m_reusePort = false;
            continue;
        }
        if (!r.isPreliminary()) {
            m_control.failWith(r);
            return r.code == 425 || r.code == 426 ? Start::ModeFailed : Start::Failed;
        }
        return acceptActive(*server, data);
    }
    m_control.failWith(r);
    return Start::ModeFailed;
}

bool DataChannel::prepareActive(QTcpServer &server, const QByteArray &path)
{
    const QHostAddress local = m_control.socket().localAddress();
    const bool v6 = local.protocol() == QAbstractSocket::IPv6Protocol;
    QString address = local.toString();
    address = address.section(u'%', 0, 0); // no scope id on the wire
    const QByteArray eprt = QStringLiteral("EPRT |%1|%2|%3|").arg(v6 ? 2 : 1).arg(address).arg(server.serverPort()).toLatin1();
    FtpReply r;
    if (!m_control.commandInFolder(path, eprt, r))
        return false;
    if (!r.isPositive() && !v6 && m_control.isOpen()) {
        QByteArray port = address.toLatin1().replace('.', ',');
        port += ',' + QByteArray::number(server.serverPort() / 256) + ','
            + QByteArray::number(server.serverPort() % 256);
        r = m_control.command("PORT " + port);
    }
    if (!r.isPositive())
        return m_control.fail(QStringLiteral("Active mode refused: %1").arg(m_control.replyError(r)));
    return true;
}

DataChannel::Start DataChannel::acceptActive(QTcpServer &server, Socket &data)
{
    const auto step = [&server](int ms) { return server.hasPendingConnections() || server.waitForNewConnection(ms); };
    const SlicedWait::Outcome w = m_waits.run(m_logon.idleTimeoutMs, step, [this] { return m_control.isOpen(); });
    if (w != SlicedWait::Outcome::Done) {
        // The server still owes the reply to the listing command: the
        // control connection is out of step and ends.
        m_control.breakOff(QStringLiteral("The server did not open the data connection"));
        return w == SlicedWait::Outcome::TimedOut ? Start::ModeFailed : Start::Failed;
    }
    auto *accepted = static_cast<QSslSocket *>(server.nextPendingConnection());
    accepted->setParent(nullptr);
    data.reset(accepted);
    if (m_tls.protectsData()) {
        m_tls.prepareData(*accepted);
        accepted->startClientEncryption();
    }
    return Start::Started;
}

DataChannel::Start DataChannel::startPassive(const ListingRequest &request, Socket &data, FtpReply &r)
{
    if (m_epsvWorks)
        return startTogether(request, data, r);
    const Start opened = openPassive(request.path, data);
    if (opened != Start::Started)
        return opened;
    r = m_control.command(listingCommand(request.method));
    if (r.isPreliminary())
        return Start::Started;
    data.reset();
    return failedWith(r);
}

DataChannel::Start DataChannel::openPassive(const QByteArray &path, Socket &data)
{
    data.reset();
    FtpReply r;
    bool refused = false;
    const int port = passivePort(path, r, refused);
    if (port <= 0 || port > 65535) {
        m_control.fail(QStringLiteral("Passive mode refused: %1").arg(m_control.replyError(r)));
        return refused ? Start::ModeFailed : Start::Failed;
    }
    // The address in a PASV reply is ignored: data goes to the server we
    // logged on to, never to a host the reply names.
    data = newDataSocket();
    data->connectToHost(m_control.socket().peerAddress(), quint16(port));
    if (m_waits.connected(*data, m_logon.connectTimeoutMs) != SlicedWait::Outcome::Done) {
        m_control.fail(data->errorString());
        data.reset();
        return Start::Failed;
    }
    // The handshake completes once the server has answered the listing
    // command: it starts its side only then.
    if (m_tls.protectsData())
        static_cast<QSslSocket &>(*data).startClientEncryption();
    return Start::Started;
}

// refused: the server turned down both EPSV and PASV.
int DataChannel::passivePort(const QByteArray &path, FtpReply &r, bool &refused)
{
    if (!m_control.commandInFolder(path, "EPSV", r))
        return -1;
    if (r.code == 229) {
        const int port = epsvPort(r);
        m_epsvWorks = port > 0 && port <= 65535;
        return port;
    }
    const bool epsvRefused = r.code >= 500 && r.code < 600;
    r = m_control.command("PASV");
    refused = epsvRefused && r.code >= 500 && r.code < 600;
    return pasvPort(r);
}

// Numbers above 255 would carry into the port arithmetic
// ("16777216,1" makes port 1): the whole reply is refused.
int DataChannel::pasvPort(const FtpReply &r)
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

int DataChannel::epsvPort(const FtpReply &r)
{
    static const QRegularExpression epsv(QStringLiteral("\\(\\|\\|\\|(\\d{1,5})\\|\\)"));
    const auto m = epsv.match(QString::fromLatin1(r.text()));
    return r.code == 229 && m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Where EPSV has answered before, the change of folder, EPSV and the listing
// command go in one write, and the server waits for the data connection the
// listing needs: one round trip less per folder.
DataChannel::Start DataChannel::startTogether(const ListingRequest &request, Socket &data, FtpReply &r)
{
    const QByteArray &path = request.path;
    if (path.contains('\0') || path.contains('\r') || path.contains('\n'))
        return failed(QStringLiteral("Unsafe characters in the folder name"));
    const bool byPath = request.sendsPathForm();
    const bool cd = !byPath && !m_control.inFolder(path);
    const QByteArray listCommand = byPath ? "MLSD /" + path : listingCommand(request.method);
    m_pathFormSent = byPath;
    m_control.send((cd ? "CWD /" + path + "\r\n" : QByteArray()) + "EPSV\r\n" + listCommand + "\r\n");
    const FtpReply cwd = cd ? m_control.readReply(remainingMs()) : FtpReply{250, {}};
    const FtpReply epsv = cwd.code ? m_control.readReply(remainingMs()) : FtpReply();
    const int port = epsvPort(epsv);
    if (port <= 0 || port > 65535)
        return togetherRefused(request, data, r, cd ? cwd : FtpReply(), epsv);
    data = newDataSocket();
    data->connectToHost(m_control.socket().peerAddress(), quint16(port));
    if (m_waits.connected(*data, m_logon.connectTimeoutMs) != SlicedWait::Outcome::Done) {
        data.reset();
        // The server still waits for it to answer the listing command.
        m_control.breakOff(QStringLiteral("The data connection failed"));
        return Start::Failed;
    }
    if (m_tls.protectsData())
        static_cast<QSslSocket &>(*data).startClientEncryption();
    r = m_control.readReply(remainingMs());
    if (!cwd.isPositive()) {
        m_control.forgetFolder();
        // The listing went ahead in the folder before: read and dropped.
        dropListing(*data, r);
        data.reset();
        return failedWith(cwd);
    }
    if (cd)
        m_control.enteredFolder(path);
    if (r.isPreliminary())
        return Start::Started;
    data.reset();
    // A server that took "MLSD /path" before may refuse it for one folder (a
    // path too long for it, say) that it lists after a CWD: that folder goes
    // the CWD way, and the next ones try the path again.
    if (byPath && r.code >= 500 && m_control.isOpen()) {
        ListingRequest cwdWay = request;
        cwdWay.pathForm = false;
        return startTogether(cwdWay, data, r);
    }
    return failedWith(r);
}

// EPSV failed this time: the listing command still owes its reply (a refusal
// without a data port), and then the classic order takes over. cwd is the
// reply to the CWD sent with them; code 0 when none went (the folder was
// current, or named in the listing command).
DataChannel::Start DataChannel::togetherRefused(const ListingRequest &request, Socket &data, FtpReply &r,
                                                const FtpReply &cwd, const FtpReply &epsv)
{
    if (epsv.code == 0)
        return failedWith(cwd.code ? epsv : cwd);
    r = m_control.readReply(remainingMs());
    if (r.code == 0 || r.isPreliminary()) {
        m_control.breakOff(QStringLiteral("Passive mode refused: %1").arg(m_control.replyError(epsv)));
        return Start::Failed;
    }
    m_epsvWorks = false;
    if (cwd.code == 0)
        return startPassive(request, data, r);
    if (!cwd.isPositive()) {
        m_control.forgetFolder();
        return failedWith(cwd);
    }
    m_control.enteredFolder(request.path);
    return startPassive(request, data, r);
}

void DataChannel::dropListing(QTcpSocket &data, const FtpReply &started)
{
    if (!started.isPreliminary())
        return;
    QByteArray unused;
    if (readData(data, unused) == SlicedWait::Outcome::Done)
        m_control.readReply(remainingMs());
    else
        recoverAfterStall();
    data.abort();
}

// A stalled transfer costs one time-out, never two: ABOR, and when the
// server does not answer it at once, a new log-on (by the session).
void DataChannel::recoverAfterStall()
{
    m_control.markTimedOut();
    if (!m_control.isOpen() || m_waits.cancelled())
        return;
    m_control.send("ABOR\r\n");
    const int grace = qBound(200, m_logon.idleTimeoutMs / 4, 2000);
    // 426 for the aborted transfer, then 226; or 226 alone when it had ended.
    for (int i = 0; i < 2; ++i) {
        const FtpReply r = m_control.readReply(grace);
        if (r.code != 426 && !r.isPreliminary())
            break;
    }
}

// The end of a protected listing is the server's close_notify, after which
// it waits for ours (vsftpd does): QSslSocket reports it as an error but
// stays connected, so it is watched for and answered.
SlicedWait::Outcome DataChannel::readData(QTcpSocket &data, QByteArray &bytes)
{
    using Outcome = SlicedWait::Outcome;
    bool peerClosed = false;
    const auto watch = QObject::connect(&data, &QAbstractSocket::errorOccurred, [&peerClosed](QAbstractSocket::SocketError e) {
        peerClosed = peerClosed || e == QAbstractSocket::RemoteHostClosedError;
    });
    Outcome result = Outcome::Done;
    for (;;) {
        bytes += data.readAll();
        if (data.state() != QAbstractSocket::ConnectedState || peerClosed)
            break;
        const auto step = [&data, &peerClosed](int ms) { return data.bytesAvailable() > 0 || data.waitForReadyRead(ms) || peerClosed; };
        const Outcome w = m_waits.run(remainingMs(), step,
                                      [&data] { return data.state() == QAbstractSocket::ConnectedState; });
        if (w == Outcome::TimedOut || w == Outcome::Cancelled) {
            result = w;
            break;
        }
    }
    bytes += data.readAll();
    QObject::disconnect(watch);
    if (peerClosed && data.state() == QAbstractSocket::ConnectedState) {
        data.disconnectFromHost(); // sends our close_notify
        data.waitForBytesWritten(SlicedWait::SliceMs);
    }
    return result;
}
