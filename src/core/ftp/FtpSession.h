#pragma once
#include "core/base/FindData.h"
#include "FtpLogon.h"
#include "FtpReply.h"
#include "ListedEntry.h"
#include "ListingParser.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QSet>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

class TrustPrompt;

// One logged-on FTP control connection, reused for every listing until it is
// closed. Blocking: each call returns when the server has answered or a
// time-out has passed (log-on 30 s, any connection idle for 60 s, a whole
// listing 10 min). Waits run in slices of at most 50 ms so a cancel is seen.
class FtpSession
{
public:
    enum class Method { Mlsd, ListA, List, Stat, StatA };

    struct Listing
    {
        QList<FindData> entries;
        int badLines = 0;          // lines no parser could read
        QByteArrayList badSamples; // the first few of them, for the log
        bool ok = false;
        // A time-out or the deadline ended it: the session was reset at once,
        // and listing the folder again would cost the same wait again.
        bool timedOut = false;
        QString error; // the server's reply or the network error
    };

    // A reply line longer than this ends the session: no server needs it,
    // and an unbounded line is unbounded memory.
    static constexpr qsizetype MaxReplyLine = 64 * 1024;
    // A listing that comes on the control connection (STAT) is capped at
    // this many bytes; the folder is reported as not listed beyond it.
    static constexpr qsizetype MaxControlListing = 64 * 1024 * 1024;

    FtpSession();
    ~FtpSession();
    FtpSession(const FtpSession &) = delete;
    FtpSession &operator=(const FtpSession &) = delete;

    // Connects, logs on and picks the listing method; false with lastError().
    bool open(const FtpLogon &logon);
    // What another connection to the same server needs to log on and list as
    // this one does, without asking about the certificate or probing the
    // listing methods again: plain data, safe to hand to another thread.
    struct Likeness
    {
        FtpLogon logon; // with the certificate trusted here pinned
        Method method = Method::List;
        QList<Method> supported;
        bool passive = false;
    };
    Likeness likeness() const;
    bool openLike(const Likeness &like);
    // Why the last open(), openLike() or reopen() failed, as a scan that opens
    // several connections tells a full server from a broken one.
    enum class Refusal { None, Busy /* 421 */, LogonRefused /* 530 */, ConnectionRefused, Other };
    Refusal lastRefusal() const { return m_refusal; }
    // Opens again with the same log-on, keeping the listing method and the
    // data connection mode in use.
    bool reopen();
    void close();
    bool isOpen() const;
    // No round trip: the socket is up and the server has not said goodbye.
    bool isAlive();
    QString lastError() const { return m_error; }
    Method method() const { return m_method; }
    static QString methodName(Method m);
    void setMethod(Method m) { m_method = m; }
    QList<Method> supportedMethods() const { return m_supported; }
    int logonCount() const { return m_logons; }

    // Every wait gives up within 50 ms once *cancel is true. Not owned.
    void setCancelFlag(const std::atomic_bool *cancel) { m_cancel = cancel; }
    // Asked about a certificate that fails the checks and is not pinned. Not owned.
    void setTrustPrompt(TrustPrompt *prompt) { m_prompt = prompt; }
    // Lines for the activity log: TLS in use, the data connection mode, fallbacks.
    void setNoticeHandler(std::function<void(const QString &)> h) { m_notice = std::move(h); }
    // The fingerprint the prompt accepted during open(), for the caller to pin; else empty.
    QByteArray newlyTrusted() const { return m_newlyTrusted; }
    bool isEncrypted() const { return m_ctrl->isEncrypted(); }
    bool passiveInUse() const { return m_passiveNow; }
    // For the rest of the session (the stored setting stays the user's).
    void setPassive(bool on) { m_passiveNow = on; }

    // path: the names' original bytes joined by "/", "" for the top level.
    Listing list(const QByteArray &path);
    void prefetch(const QByteArray &path);
    // The classic pair: the first entry, then each next; false at the end.
    bool findFirstFile(const QByteArray &path, FindData &entry);
    bool findNextFile(FindData &entry);
    QString decodeName(const QByteArray &raw) const;
    FindData toFindData(const ListedEntry &e) const;
    static bool safeInPath(const QByteArray &name);
    // Control bytes shown as visible symbols (U+2400 + byte); the exact bytes stay in wireName.
    static QString visibleName(const QString &name);

    // For StatPipeline, which keeps several listings in flight: the logon to
    // open again, the listing command, commands written without waiting and
    // their replies read back in order.
    const FtpLogon &logon() const { return m_logon; }
    bool listsOnControl() const;
    QByteArray listCommand() const;
    void sendAhead(const QByteArray &commands);
    // Each line of a reply waits at most idleMs, and none outlasts the
    // listing deadline once startListingDeadline() has set it running.
    FtpReply nextReply(int idleMs);
    void startListingDeadline();
    // Stops the deadline; true when it had passed.
    bool endListingDeadline();
    // A wait since startListingDeadline() ran out (the connection was cut then).
    bool waitTimedOut() const { return m_timedOut; }
    Listing listingFrom(const FtpReply &r) const { return controlListing(r, m_method); }

private:
    void startOver(const FtpLogon &logon, bool passive, bool modeNoted);
    enum class Wait { Done, TimedOut, Failed, Cancelled };

    bool establish();
    bool connectControl();
    bool secureControl();
    bool startTls();
    void onSslErrors(QSslSocket &socket, const QList<QSslError> &errors);
    bool refuseCertificate(const QString &problem, const QByteArray &sha);
    bool fallBackToPlain();
    bool tlsOffered();
    void protectData();
    bool login();
    void readFeatures();
    void selectFacts(const QByteArray &offered);
    void readSystem();
    void chooseMethod();
    bool probeStat(const Listing &reference, Method statMethod);
    bool probeMlsdPath();
    static bool plainPath(const QByteArray &path);
    bool changeDir(const QByteArray &path);
    bool commandInFolder(const QByteArray &path, const QByteArray &cmd, FtpReply &reply);
    Listing listWith(Method m, const QByteArray &path);
    Listing listOnControl(Method m);
    Listing controlListing(const FtpReply &r, Method m) const;
    Listing takePrefetched();
    void dropPrefetched();
    Listing listOnData(Method m, const QByteArray &path);
    bool startListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    std::unique_ptr<QTcpSocket> openPassive(const QByteArray &path);
    int passivePort(const QByteArray &path, FtpReply &r);
    static int pasvPort(const FtpReply &r);
    std::unique_ptr<QTcpSocket> newDataSocket();
    void watchCertificate(QSslSocket &socket);
    QTcpServer *activeServer();
    bool startActiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    bool acceptActive(QTcpServer &server, std::unique_ptr<QTcpSocket> &data);
    bool startPassiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    bool startPassiveTogether(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    bool pathFormRefused(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    bool passiveTogetherRefused(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r,
                                const FtpReply &cwd, const FtpReply &epsv);
    void dropListing(QTcpSocket &data, const FtpReply &started);
    static int epsvPort(const FtpReply &r);
    bool prepareActive(QTcpServer &server, const QByteArray &path);
    Wait readData(QTcpSocket &data, QByteArray &bytes);
    void recoverAfterStall();
    Listing finishData(Listing result, Wait read, const QByteArray &bytes, const FtpReply &r, Method m);
    Listing parseLines(QByteArrayList lines, Method m) const;
    void noteMode();
    void notice(const QString &text) const;

    Wait waitSliced(int totalMs, const std::function<bool(int)> &step, const std::function<bool()> &alive);
    Wait waitConnected(QAbstractSocket &socket, int totalMs);
    Wait waitEncrypted(QSslSocket &socket, int totalMs);
    Wait waitReadable(QAbstractSocket &socket, int totalMs);
    int remainingMs(int idleMs) const;
    bool cancelled() const { return m_cancel && m_cancel->load(); }
    FtpReply command(const QByteArray &cmd);
    void send(const QByteArray &line);
    FtpReply readReply(int idleMs);
    bool readLine(QByteArray &line, int idleMs);
    static bool isReplyStart(const QByteArray &line);
    bool breakOff(const QString &why);
    bool fail(const QString &why);
    QString replyError(const FtpReply &r) const;

    FtpLogon m_logon;
    std::unique_ptr<QSslSocket> m_ctrl; // new for every connection, never null
    // Ends a slice of waiting for a data connection. One kept for the session:
    // a single-shot timer made per folder lived on until its time ran out, so
    // each thread carried a hundred of them and fired each one for nothing.
    QTimer m_connectSlice;
    // Bytes read but not yet taken: lines start at m_readPos, and bytes
    // before m_scanPos are known to hold no line end.
    QByteArray m_buffer;
    qsizetype m_readPos = 0;
    qsizetype m_scanPos = 0;
    QByteArray m_cwd;
    QSet<QByteArray> m_features;
    QByteArrayList m_featureLines;
    Method m_method = Method::List;
    ListingParser::Family m_family = ListingParser::Family::Any;
    QList<Method> m_supported;
    QString m_error;
    QString m_replyProblem; // why the control connection was broken off
    bool m_timedOut = false; // a wait of the current call ran out
    int m_logons = 0;
    std::unique_ptr<QTcpServer> m_activeServer;
    bool m_reusePort = true;
    bool m_passiveNow = false;
    bool m_modeNoted = false;
    bool m_passiveRefused = false;
    // EPSV answered before: it goes in one write with the listing command.
    bool m_epsvWorks = false;
    bool m_mlsdByPath = false;  // "MLSD /path" lists what CWD and MLSD list
    bool m_pathFormSent = false; // the last listing went out in that form
    bool m_pathProbed = false;
    Refusal m_refusal = Refusal::None;
    int m_lastCode = 0; // of the last whole reply read
    bool m_activeFailed = false;
    bool m_protectData = false;
    bool m_plainAfterRefusal = false;
    QByteArray m_acceptedSha256; // the control connection's certificate, once trusted
    QByteArray m_newlyTrusted;
    QString m_certificateProblem;
    QDeadlineTimer m_listingDeadline{QDeadlineTimer::Forever};
    const std::atomic_bool *m_cancel = nullptr;
    TrustPrompt *m_prompt = nullptr;
    std::function<void(const QString &)> m_notice;
    bool m_prefetched = false;
    bool m_prefetchCwd = false;
    QByteArray m_prefetchPath;
    QList<FindData> m_find;
    qsizetype m_findNext = 0;
};
