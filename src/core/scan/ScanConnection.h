#pragma once
#include "core/ftp/FtpSession.h"

// The connection a scan opens, lists on and closes.
class ScanConnection
{
public:
    virtual ~ScanConnection() = default;
    virtual void ConnectToHost() = 0;
    virtual void CloseConnection() = 0;
    virtual bool isConnected() const = 0;
    // Cheap: no round trip to the server.
    virtual bool isAlive() = 0;
    virtual bool reconnect() = 0;
    virtual FtpSession::Listing list(const QByteArray &path) = 0;
    // A hint: path is likely the next folder listed.
    virtual void prefetch(const QByteArray &path) { Q_UNUSED(path); }
    // Every wait on the network gives up once *cancel is true.
    virtual void setCancelFlag(const std::atomic_bool *cancel) { Q_UNUSED(cancel); }
    // The folder listed with LIST, whose mode column tells links from
    // folders; empty when that cannot be had.
    virtual FtpSession::Listing listWithModes(const QByteArray &path)
    {
        Q_UNUSED(path);
        return {};
    }
    // The code page names that are not UTF-8 are decoded with.
    virtual QByteArray codePage() const { return {}; }
    // For the record of the run: why the last log-on failed (None when it
    // did not), in the session's words; the server's greeting; the listing
    // command chosen. Empty where unknown.
    virtual FtpSession::Refusal refusal() const { return FtpSession::Refusal::None; }
    virtual QString failureReason() const { return {}; }
    virtual QString greeting() const { return {}; }
    virtual QString listingMethod() const { return {}; }
    // The open session, for a walk that keeps several listings in flight on
    // it; null where listings come only through list().
    virtual FtpSession *session() { return nullptr; }
};
