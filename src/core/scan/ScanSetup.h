#pragma once
#include "HostScanner.h"
#include "core/ftp/FtpLogon.h"

#include <QByteArray>
#include <QString>
#include <optional>

class FtpConnection;
class IniFile;

// How a scan runs, as the settings file has it ([FTP] Passive, Connections
// and "Listing Deadline" in seconds, [SCAN] "Max Depth", "Max Entries" and
// "Keep Runs" (the runs of a host whose changes are kept), [TLS]
// host=require|try|off, [TRUST] host=SHA-256 fingerprint, [ENCODING]
// host=code page, [LISTING] host:port=how the server lists), with what this run asks for over it. Both front ends
// assemble their scans here; besides, only ScanOptions (the Options dialog)
// writes those keys.
class ScanSetup
{
public:
    // The command line's flags: for this run only, each one set wins over the settings.
    struct Overrides
    {
        std::optional<bool> passive;
        std::optional<FtpLogon::Tls> tls;
        QByteArray trustSha256; // 32 bytes, or empty: the host's pin, if any
        std::optional<int> maxDepth;
        qint64 maxEntries = 0; // 0: not given, [SCAN] Max Entries holds (0 there: no cap)
        std::optional<int> connections;
        bool restart = false; // a scan of the host cut short is not carried on
    };

    // Not owned; outlives this. Read when asked, so that a certificate
    // pinned during the run is there for the next log-on.
    ScanSetup(IniFile &settings, const Overrides &run);
    explicit ScanSetup(IniFile &settings); // the settings alone

    HostScanner::Limits limits() const;
    int connections() const;
    int keepRuns() const;
    // The log-on for hostText; the user and the password are the caller's.
    FtpLogon logonFor(const QString &hostText) const;
    // The connection logs on through this set-up (it keeps a pointer);
    // the scanner takes its limits and connections.
    void applyTo(FtpConnection &connection, HostScanner &scanner);

    // The host's pin from now on. Both return false when the file cannot be written.
    bool pin(const QString &host, const QByteArray &sha256);
    // How the server of logon listed, for its next scans ([LISTING]
    // host:port); nothing is written when logon already held it.
    bool rememberListing(const FtpLogon &logon, const ListingChoice &choice);
    // This run's passive, TLS and trust become the host's settings (--save).
    bool keepForHost(const QString &host);
    QString settingsPath() const;

    // [ENCODING] for the host part of hostText; latin1 when not set.
    static QByteArray codePageFor(const IniFile &settings, const QString &hostText);

private:
    IniFile &m_settings;
    Overrides m_run;
};
