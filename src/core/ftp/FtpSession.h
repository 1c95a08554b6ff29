#pragma once
#include "core/base/FindData.h"
#include "FtpLogon.h"
#include "FtpReply.h"
#include "ListedEntry.h"
#include "ListingParser.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

// One logged-on FTP control connection, reused for every listing until it is
// closed. Blocking: each call returns when the server has answered or a
// time-out has passed (log-on 30 s, any connection idle for 60 s).
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
        QString error; // the server's reply or the network error
    };

    FtpSession();
    ~FtpSession();
    FtpSession(const FtpSession &) = delete;
    FtpSession &operator=(const FtpSession &) = delete;

    // Connects, logs on and picks the listing method; false with lastError().
    bool open(const FtpLogon &logon);
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

    // path: the names' original bytes joined by "/", "" for the top level.
    Listing list(const QByteArray &path);
    void prefetch(const QByteArray &path);
    // The classic pair: the first entry, then each next; false at the end.
    bool findFirstFile(const QByteArray &path, FindData &entry);
    bool findNextFile(FindData &entry);
    QString decodeName(const QByteArray &raw) const;
    FindData toFindData(const ListedEntry &e) const;
    static bool safeInPath(const QByteArray &name);

private:
    bool connectControl();
    bool login();
    void readFeatures();
    void readSystem();
    void chooseMethod();
    bool probeStat(const Listing &reference, Method statMethod);
    bool changeDir(const QByteArray &path);
    bool commandInFolder(const QByteArray &path, const QByteArray &cmd, FtpReply &reply);
    Listing listWith(Method m, const QByteArray &path);
    Listing listOnControl(Method m);
    Listing controlListing(const FtpReply &r, Method m) const;
    Listing takePrefetched();
    void dropPrefetched();
    Listing listOnData(Method m, const QByteArray &path);
    std::unique_ptr<QTcpSocket> openPassive(const QByteArray &path);
    QTcpServer *activeServer();
    bool startActiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    bool startPassiveListing(Method m, const QByteArray &path, std::unique_ptr<QTcpSocket> &data, FtpReply &r);
    bool prepareActive(QTcpServer &server, const QByteArray &path);
    QByteArray readData(QTcpSocket &data, bool &timedOut);
    Listing parseLines(const QByteArrayList &lines, Method m) const;

    FtpReply command(const QByteArray &cmd);
    FtpReply readReply(int idleMs);
    bool readLine(QByteArray &line, int idleMs);
    bool fail(const QString &why);
    QString replyError(const FtpReply &r) const;

    FtpLogon m_logon;
    QTcpSocket m_ctrl;
    QByteArray m_buffer;
    QByteArray m_cwd;
    QSet<QByteArray> m_features;
    Method m_method = Method::List;
    ListingParser::Family m_family = ListingParser::Family::Any;
    QList<Method> m_supported;
    QString m_error;
    int m_logons = 0;
    std::unique_ptr<QTcpServer> m_activeServer;
    bool m_reusePort = true;
    bool m_prefetched = false;
    bool m_prefetchCwd = false;
    QByteArray m_prefetchPath;
    QList<FindData> m_find;
    qsizetype m_findNext = 0;
};
