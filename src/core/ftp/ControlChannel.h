#pragma once
#include "FtpReply.h"

#include <QByteArray>
#include <QSslSocket>
#include <QString>

#include <memory>

struct FtpLogon;
class SlicedWait;

// The control connection: its socket, the commands that go out on it, the
// replies read back in order, the folder the server is in, a listing asked
// for ahead, and why the conversation failed.
class ControlChannel
{
public:
    // A reply line longer than this ends the session: no server needs it,
    // and an unbounded line is unbounded memory.
    static constexpr qsizetype MaxReplyLine = 64 * 1024;
    // A listing that comes on the control connection (STAT) is capped at
    // this many bytes; the folder is reported as not listed beyond it.
    static constexpr qsizetype MaxControlListing = 64 * 1024 * 1024;

    // Both outlive the channel: the session owns all three.
    ControlChannel(const FtpLogon &logon, SlicedWait &waits);

    // A new socket for the next connection; what the last one left unread is dropped.
    QSslSocket &renew();
    QSslSocket &socket() const { return *m_socket; }
    bool connectToServer();
    // A 120 greeting means "ready in a while": the real one is awaited.
    bool readGreeting();
    // The lines of the last greeting read, as sent.
    const QByteArray &greeting() const { return m_greeting; }
    // QUIT, briefly awaited, and the connection cut.
    void quit();
    bool isOpen() const { return m_socket->state() == QAbstractSocket::ConnectedState; }
    // No round trip: the socket is up and the server has not said goodbye.
    bool isAlive();
    bool hasUnread() const { return m_readPos < m_buffer.size(); }

    void send(const QByteArray &bytes) { m_socket->write(bytes); }
    FtpReply command(const QByteArray &cmd);
    // RFC 959 replies, single or multi-line; code 0 when none came.
    FtpReply readReply(int idleMs);
    // Exactly three digits, the first 1 to 5, then a space, a "-" or the line's end.
    static bool isReplyStart(const QByteArray &line);

    // path: "" for the top level. Changes there first unless there already.
    bool changeDir(const QByteArray &path);
    bool commandInFolder(const QByteArray &path, const QByteArray &cmd, FtpReply &reply);
    bool inFolder(const QByteArray &path) const { return path == m_cwd && !m_cwd.isNull(); }
    void enteredFolder(const QByteArray &path) { m_cwd = path.isNull() ? QByteArray("") : path; }
    void forgetFolder() { m_cwd = QByteArray(); }

    // A listing command written now, its reply read by takePrefetched().
    void prefetch(const QByteArray &path, const QByteArray &listCommand);
    bool hasPrefetched() const { return m_prefetched; }
    const QByteArray &prefetchedPath() const { return m_prefetchPath; }
    // cwd is the reply to the change of folder sent with it (250 when none went).
    void takePrefetched(FtpReply &cwd, FtpReply &listing);
    void dropPrefetched();
    // Commands whose replies the caller reads; the folder is unknown after them.
    void sendAhead(const QByteArray &commands);

    // Each returns false, for "return fail(...)".
    bool fail(const QString &why);
    bool failWith(const FtpReply &reply);
    // The connection can no longer be trusted to be in step: it ends.
    bool breakOff(const QString &why);
    QString replyError(const FtpReply &r) const;
    const QString &error() const { return m_error; }
    // The code of the reply that error quotes; 0 when it quotes none.
    int errorCode() const { return m_errorCode; }
    int lastCode() const { return m_lastCode; }

    // A wait for a reply ran out since the last clear.
    bool timedOut() const { return m_timedOut; }
    void markTimedOut() { m_timedOut = true; }
    void clearTimedOut() { m_timedOut = false; }
    void clearProblems();

private:
    bool readLine(QByteArray &line, int idleMs);
    bool readRest(FtpReply &r, const QByteArray &code, int idleMs);

    const FtpLogon &m_logon;
    SlicedWait &m_waits;
    std::unique_ptr<QSslSocket> m_socket; // new for every connection, never null
    // Bytes read but not yet taken: lines start at m_readPos, and bytes
    // before m_scanPos are known to hold no line end.
    QByteArray m_greeting;
    QByteArray m_buffer;
    qsizetype m_readPos = 0;
    qsizetype m_scanPos = 0;
    QByteArray m_cwd; // null: not known
    bool m_prefetched = false;
    bool m_prefetchCwd = false;
    QByteArray m_prefetchPath;
    QString m_error;
    int m_errorCode = 0;
    QString m_replyProblem; // why the connection was broken off
    bool m_timedOut = false;
    int m_lastCode = 0; // of the last whole reply read
};
