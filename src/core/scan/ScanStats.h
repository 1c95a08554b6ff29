#pragma once
#include <QStringList>
#include <QtGlobal>

// What a scan found and how it ended, as HostScanner::stats() reports it.
struct ScanStats
{
    qint64 entries = 0;
    int directories = 0;
    int listed = 0;
    int failed = 0;
    int passedOver = 0;
    qint64 unreadLines = 0; // listing lines no parser could read
    int unreadFolders = 0;  // folders whose listing had such lines
    qint64 partReadLines = 0; // entries stored with a field left unknown
    bool terminated = false;
    bool loggedOn = false;
    bool cancelled = false;
    bool entryLimitReached = false;
    bool depthLimitReached = false;
    // The catalogue refused the scan or failed under it (a shared
    // database lost, or the host being scanned by another writer).
    bool catalogueFailed = false;
    qint64 added = 0;
    qint64 changed = 0;
    qint64 removed = 0;
    // The lines that follow the scan-time line, in order.
    QStringList closingLines;
    bool pipelined = false; // listings were kept in flight
    int connections = 1;    // the most that listed at once
};
