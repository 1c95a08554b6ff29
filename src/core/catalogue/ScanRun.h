#pragma once
#include <QDateTime>
#include <QString>

// One scan of a host as table ScanRun keeps it: how it ended and what it
// found. Results are stored as their texts, which scripts read.
struct ScanRun
{
    enum class Result { Complete, Cancelled, LostConnection, Refused, LogonRefused, TlsRefused, Unreachable, Unknown };

    // "complete", "cancelled", "lost connection", "refused", "log-on refused",
    // "TLS refused", "unreachable"; "" for runs recorded before results were.
    static QString resultText(Result r);
    static Result resultFrom(const QString &text);

    // The server took the connection and replied, whatever came after.
    bool answered() const
    {
        return result != Result::Refused && result != Result::Unreachable && result != Result::Unknown;
    }

    qint64 run = 0; // the host's own count: 1 for its first recorded run
    QString host;
    QDateTime started, ended; // UTC, to the second
    Result result = Result::Unknown;
    qint64 entries = 0;
    qint64 folders = 0; // folders listed
    qint64 added = 0, changed = 0, removed = 0;
    qint64 unreadLines = 0;
    QString method;   // the listing command the scan used ("MLSD"); "" when none was chosen
    QString greeting; // the server's first reply, as sent, cut to GreetingSize
    QByteArray startPath; // the folder the scan listed below (names as listed, joined by "/"); "" the top
    static constexpr int GreetingSize = 500;
};
