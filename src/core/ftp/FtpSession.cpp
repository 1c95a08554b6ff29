#include "FtpSession.h"
#include "ListingParser.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

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
} // namespace

FtpSession::FtpSession() = default;

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

QString FtpSession::replyError(const FtpReply &r) const
{
    if (r.code == 0)
        return m_ctrl.state() == QAbstractSocket::ConnectedState
            ? QStringLiteral("No reply from the server")
            : QStringLiteral("Connection lost: %1").arg(m_ctrl.errorString());
    return QString::fromUtf8(r.text()).trimmed();
}

bool FtpSession::isOpen() const
{
    return m_ctrl.state() == QAbstractSocket::ConnectedState;
}

bool FtpSession::open(const FtpLogon &logon)
{
    close();
    m_logon = logon;
    m_cwd.clear();
    if (!connectControl() || !login()) {
        close();
        return false;
    }
    ++m_logons;
    readFeatures();
    readSystem();
    chooseMethod();
    return true;
}

void FtpSession::close()
{
    if (m_ctrl.state() == QAbstractSocket::ConnectedState) {
        m_ctrl.write("QUIT\r\n");
        m_ctrl.waitForBytesWritten(1000);
    }
    m_ctrl.abort();
    m_buffer.clear();
    m_cwd.clear();
    m_prefetched = false;
    m_activeServer.reset();
    m_reusePort = true;
}

bool FtpSession::connectControl()
{
    m_ctrl.connectToHost(m_logon.host, m_logon.port);
    if (!m_ctrl.waitForConnected(m_logon.connectTimeoutMs))
        return fail(m_ctrl.errorString());
    m_ctrl.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // A 120 greeting means "ready in a while": wait for the real one.
    FtpReply greeting = readReply(m_logon.connectTimeoutMs);
    while (greeting.isPreliminary())
        greeting = readReply(m_logon.connectTimeoutMs);
    if (!greeting.isPositive())
        return fail(replyError(greeting));
    return true;
}

bool FtpSession::login()
{
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
    const FtpReply r = command("FEAT");
    if (r.isPositive()) {
        for (qsizetype i = 1; i + 1 < r.lines.size(); ++i)
            m_features.insert(r.lines[i].trimmed().split(' ').first().toUpper());
    }
    if (m_features.contains("UTF8"))
        command("OPTS UTF8 ON");
    if (m_features.contains("CLNT"))
        command("CLNT Harvex");
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

bool FtpSession::isAlive()
{
    if (m_ctrl.state() != QAbstractSocket::ConnectedState)
        return false;
    if (m_prefetched)
        return true; // what is waiting is the asked-for listing
    m_ctrl.waitForReadyRead(0);
    // Anything unasked for is a goodbye (421) or noise before one.
    if (m_ctrl.bytesAvailable() > 0 || !m_buffer.isEmpty()) {
        const FtpReply r = readReply(100);
        if (r.code == 421 || r.code == 0)
            return false;
    }
    return m_ctrl.state() == QAbstractSocket::ConnectedState;
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
    m_ctrl.write("CWD /" + path + "\r\n" + (cmd.isEmpty() ? QByteArray() : cmd + "\r\n"));
    const FtpReply cwd = readReply(m_logon.idleTimeoutMs);
    if (!cmd.isEmpty())
        reply = readReply(m_logon.idleTimeoutMs);
    if (!cwd.isPositive()) {
        m_cwd = QByteArray();
        return fail(replyError(cwd));
    }
    m_cwd = path.isNull() ? QByteArray("") : path;
    return true;
}

FtpSession::Listing FtpSession::list(const QByteArray &path)
{
    if (m_prefetched && m_prefetchPath == path)
        return takePrefetched();
    dropPrefetched();
    return listWith(m_method, path);
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
    m_ctrl.write(batch + commandFor(m_method) + "\r\n");
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
        const FtpReply listing = readReply(m_logon.idleTimeoutMs);
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

// One listening port serves the whole session: binding a new one for every
// folder gets slow once thousands of closed connections linger. A server
// that connects from port 20 cannot reach the same port again so soon and
// says 425: then every listing gets a port of its own.
QTcpServer *FtpSession::activeServer()
{
    if (m_reusePort && m_activeServer && m_activeServer->isListening())
        return m_activeServer.get();
    m_activeServer = std::make_unique<QTcpServer>();
    if (!m_activeServer->listen(m_ctrl.localAddress(), 0)) {
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
        if (!r.isPreliminary())
            return fail(replyError(r));
        if (!server->hasPendingConnections() && !server->waitForNewConnection(m_logon.idleTimeoutMs))
            return fail(QStringLiteral("The server did not open the data connection"));
        data.reset(server->nextPendingConnection());
        data->setParent(nullptr);
        return true;
    }
    return fail(replyError(r));
}

bool FtpSession::startPassiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r)
{
    data = openPassive(path);
    if (!data)
        return false;
    r = command(commandFor(m));
    return r.isPreliminary() || fail(replyError(r));
}

FtpSession::Listing FtpSession::listOnData(Method m, const QByteArray &path)
{
    Listing result;
    std::unique_ptr<QTcpSocket> data;
    FtpReply r;
    const bool started = m_logon.passive ? startPassiveListing(m, path, data, r) : startActiveListing(m, path, data, r);
    if (!started) {
        result.error = m_error;
        return result;
    }
    bool timedOut = false;
    const QByteArray bytes = readData(*data, timedOut);
    data->abort();
    if (timedOut)
        m_ctrl.abort(); // the completion reply would come out of step
    r = timedOut ? FtpReply() : readReply(m_logon.idleTimeoutMs);
    QByteArrayList lines = bytes.split('\n');
    const bool complete = bytes.endsWith('\n') || bytes.isEmpty();
    // A line the connection cut short is no name: keep it only when the
    // server says the transfer completed.
    if (!r.isPositive() || !complete)
        lines.removeLast();
    result = parseLines(lines, m);
    result.ok = r.isPositive();
    if (timedOut)
        result.error = QStringLiteral("The data connection stalled");
    else if (!result.ok)
        result.error = replyError(r);
    return result;
}

QByteArray FtpSession::readData(QTcpSocket &data, bool &timedOut)
{
    QByteArray bytes;
    for (;;) {
        bytes += data.readAll();
        if (data.state() != QAbstractSocket::ConnectedState)
            break;
        if (!data.waitForReadyRead(m_logon.idleTimeoutMs)) {
            if (data.error() == QAbstractSocket::SocketTimeoutError) {
                timedOut = true;
                break;
            }
        }
    }
    bytes += data.readAll();
    return bytes;
}

std::unique_ptr<QTcpSocket> FtpSession::openPassive(const QByteArray &path)
{
    int port = -1;
    FtpReply r;
    if (!commandInFolder(path, "EPSV", r))
        return nullptr;
    static const QRegularExpression epsv(QStringLiteral("\\(\\|\\|\\|(\\d+)\\|\\)"));
    static const QRegularExpression pasv(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    if (r.code == 229) {
        const auto m = epsv.match(QString::fromLatin1(r.text()));
        port = m.hasMatch() ? m.captured(1).toInt() : -1;
    } else {
        r = command("PASV");
        const auto m = pasv.match(QString::fromLatin1(r.text()));
        if (r.code == 227 && m.hasMatch())
            port = m.captured(5).toInt() * 256 + m.captured(6).toInt();
    }
    if (port <= 0 || port > 65535) {
        fail(QStringLiteral("Passive mode refused: %1").arg(replyError(r)));
        return nullptr;
    }
    // The address in a PASV reply is ignored: data goes to the server we
    // logged on to, never to a host the reply names.
    auto data = std::make_unique<QTcpSocket>();
    data->connectToHost(m_ctrl.peerAddress(), quint16(port));
    if (!data->waitForConnected(m_logon.connectTimeoutMs)) {
        fail(data->errorString());
        return nullptr;
    }
    return data;
}

bool FtpSession::prepareActive(QTcpServer &server, const QByteArray &path)
{
    const QHostAddress local = m_ctrl.localAddress();
    const bool v6 = local.protocol() == QAbstractSocket::IPv6Protocol;
    const QByteArray eprt = QStringLiteral("EPRT |%1|%2|%3|")
                                .arg(v6 ? 2 : 1)
                                .arg(local.toString())
                                .arg(server.serverPort())
                                .toLatin1();
    FtpReply r;
    if (!commandInFolder(path, eprt, r))
        return false;
    if (!r.isPositive() && !v6) {
        QByteArray port = local.toString().toLatin1().replace('.', ',');
        port += ',' + QByteArray::number(server.serverPort() / 256) + ','
            + QByteArray::number(server.serverPort() % 256);
        r = command("PORT " + port);
    }
    if (!r.isPositive())
        return fail(QStringLiteral("Active mode refused: %1").arg(replyError(r)));
    return true;
}

FtpSession::Listing FtpSession::parseLines(const QByteArrayList &lines, Method m) const
{
    const ListingParser parser(m == Method::Mlsd ? ListingParser::Format::Mlsd : ListingParser::Format::List,
                               m_family);
    const ListingParser::Parsed parsed = parser.parseListing(lines);
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

FindData FtpSession::toFindData(const ListedEntry &e) const
{
    FindData f;
    f.setName(decodeName(e.name));
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

FtpReply FtpSession::command(const QByteArray &cmd)
{
    dropPrefetched();
    m_ctrl.write(cmd + "\r\n");
    return readReply(m_logon.idleTimeoutMs);
}

bool FtpSession::readLine(QByteArray &line, int idleMs)
{
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n');
        if (nl >= 0) {
            line = m_buffer.left(nl);
            if (line.endsWith('\r'))
                line.chop(1);
            m_buffer.remove(0, nl + 1);
            return true;
        }
        if (m_ctrl.bytesAvailable() == 0 && !m_ctrl.waitForReadyRead(idleMs))
            return false;
        m_buffer += m_ctrl.readAll();
    }
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
        m_ctrl.abort();
        return r;
    }
    r.lines.append(line);
    const QByteArray code = line.left(3);
    bool ok = false;
    const int value = code.toInt(&ok);
    if (!ok || code.size() != 3)
        return r;
    if (line.size() > 3 && line[3] == '-') {
        for (;;) {
            if (!readLine(line, idleMs)) {
                m_ctrl.abort();
                return FtpReply{0, r.lines};
            }
            r.lines.append(line);
            if (line.startsWith(code) && (line.size() == 3 || line[3] == ' '))
                break;
        }
    }
    r.code = value;
    return r;
}
