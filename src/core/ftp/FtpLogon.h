#pragma once
#include "ListingChoice.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Everything needed to log on to one server. The password lives only here,
// in memory, for the length of a session.
struct FtpLogon
{
    // Off: plain FTP. Try: TLS when the server offers it. Require: no log-on
    // without it. Implicit: TLS from the first byte (ftps://, port 990).
    enum class Tls { Off, Try, Require, Implicit };

    QString host;
    quint16 port = 21;
    QString user;
    QString password;
    bool passive = false;
    Tls tls = Tls::Try;
    // SHA-256 of a certificate the user trusts for this host (32 bytes), or empty.
    QByteArray pinnedSha256;
    // Code page of names that are not valid UTF-8 (settings "ENCODING").
    QByteArray codePage = "latin1";
    int connectTimeoutMs = 30000;
    int idleTimeoutMs = 60000;
    // Stops a server that drips a listing forever.
    int listingDeadlineMs = 10 * 60 * 1000;
    // How the server listed at the last scan, if it was remembered.
    std::optional<ListingChoice> listing;

    // "host", "host:port", "[v6addr]:port", a bare IPv6 address, each with an
    // optional "ftp://" or "ftps://" in front. valid is false (with error)
    // when the port is not a number from 1 to 65535 or the host is empty.
    static FtpLogon fromHostText(const QString &hostText);
    bool valid = true;
    QString error;

    static QString tlsName(Tls t);
    // "require", "try", "off" (or "implicit"); def for anything else.
    static Tls tlsFromName(const QString &name, Tls def);
};
