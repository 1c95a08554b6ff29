#pragma once
#include "FtpListing.h"
#include "FtpReply.h"
#include "ListingRequest.h"
#include "SlicedWait.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

class ControlChannel;
class FtpNotice;
class FtpTls;
class ListingDecoder;
class QSslSocket;
struct FtpLogon;

// The data connections of one session: passive (EPSV, PASV) or active
// (EPRT, PORT) mode, falling back to the other mode for the rest of the
// session when the server refuses one; the listing read from it, and a
// stalled transfer recovered with ABOR.
class DataChannel
{
public:
    // All outlive this: the session owns them.
    DataChannel(const FtpLogon &logon, ControlChannel &control, SlicedWait &waits, FtpTls &tls,
                const ListingDecoder &decoder, const FtpNotice &notice);

    // Logs on again when active mode failed with the control connection;
    // passive mode is tried on the new one.
    void setReconnect(std::function<bool()> reconnect) { m_reconnect = std::move(reconnect); }
    // A new server: the user's mode; modeNoted when another connection
    // already logged it.
    void startOver(bool passive, bool modeNoted);
    // The session's listening port goes with its control connection.
    void closeListener();
    bool passive() const { return m_passive; }
    void setPassive(bool on) { m_passive = on; }
    // The last list() went out as "MLSD /path".
    bool pathFormSent() const { return m_pathFormSent; }

    FtpListing list(const ListingRequest &request);

private:
    enum class Start { Started, Failed, ModeFailed /* the server refused this mode */ };
    using Socket = std::unique_ptr<QTcpSocket>;

    void noteMode();
    Start failed(const QString &why);
    Start failedWith(const FtpReply &r);
    bool startListing(const ListingRequest &request, Socket &data, FtpReply &r);
    std::unique_ptr<QTcpSocket> newDataSocket();
    QTcpServer *activeServer();
    Start startActive(const ListingRequest &request, Socket &data, FtpReply &r);
    bool prepareActive(QTcpServer &server, const QByteArray &path);
    Start acceptActive(QTcpServer &server, Socket &data);
    Start startPassive(const ListingRequest &request, Socket &data, FtpReply &r);
    Start openPassive(const QByteArray &path, Socket &data);
    int passivePort(const QByteArray &path, FtpReply &r, bool &refused);
    static int pasvPort(const FtpReply &r);
    static int epsvPort(const FtpReply &r);
    Start startTogether(const ListingRequest &request, Socket &data, FtpReply &r);
    Start togetherRefused(const ListingRequest &request, Socket &data, FtpReply &r, const FtpReply &cwd,
                          const FtpReply &epsv);
    void dropListing(QTcpSocket &data, const FtpReply &started);
    SlicedWait::Outcome readData(QTcpSocket &data, QByteArray &bytes);
    void recoverAfterStall();
    FtpListing finish(SlicedWait::Outcome read, const QByteArray &bytes, const FtpReply &r, ListingMethod m) const;
    int remainingMs() const;

    const FtpLogon &m_logon;
    ControlChannel &m_control;
    SlicedWait &m_waits;
    FtpTls &m_tls;
    const ListingDecoder &m_decoder;
    const FtpNotice &m_notice;
    std::function<bool()> m_reconnect;
    std::unique_ptr<QTcpServer> m_listener;
    bool m_reusePort = true;
    bool m_passive = false;
    bool m_modeNoted = false;
    // EPSV answered before: it goes in one write with the listing command.
    bool m_epsvWorks = false;
    bool m_pathFormSent = false;
};
