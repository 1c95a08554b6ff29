#pragma once
#include "core/base/FileEntry.h"

#include <QByteArrayList>
#include <QList>
#include <QString>

// One folder's listing as the session read it.
struct FtpListing
{
    QList<FileEntry> entries;
    int badLines = 0;          // lines no parser could read
    QByteArrayList badSamples; // the first few of them, for the log
    int partLines = 0;         // entries read with a field left unknown
    bool ok = false;
    // A time-out or the deadline ended it: the session was reset at once,
    // and listing the folder again would cost the same wait again.
    bool timedOut = false;
    QString error; // the server's reply or the network error
    // The reply that ended the listing (226, 421, 450, 550...): the one whose
    // text is in error when it failed. 0 when no reply came (a time-out, a
    // lost connection) or the error is not a reply of the server's.
    int code = 0;
};
