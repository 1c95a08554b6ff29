#pragma once
#include <QByteArray>
#include <QString>

// Everything needed to log on to one server. The password lives only here,
// in memory, for the length of a session.
struct FtpLogon
{
    QString host;
    quint16 port = 21;
    QString user;
    QString password;
    bool passive = false;
    // Code page of names that are not valid UTF-8 (settings "ENCODING").
    QByteArray codePage = "latin1";
    int connectTimeoutMs = 30000;
    int idleTimeoutMs = 60000;

    // "host", "host:port", "[v6addr]:port" or a bare IPv6 address.
    static FtpLogon fromHostText(const QString &hostText);
};
