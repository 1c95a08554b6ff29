#pragma once
#include "HostScanner.h"
#include "HostSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// One host of a scan of several: what to scan, and, once scanned, how it went.
struct BatchHost
{
    HostSnapshot logon;   // host text ("host:port", "ftps://host"), user, password
    QByteArray startPath; // "" for the top

    // Filled by the scan.
    ScanRun run;            // as recorded; run.run is 0 when the catalogue did not record it
    HostScanner::Stats stats;
    QString lastError;      // why the host was not available, when it was not
    QStringList messages;   // what the scan told the user
    qint64 elapsedMs = 0;
    bool scanned = false;   // false: the scan never started (the catalogue could not be opened)
    bool passed = false;    // left to another rescan that has it, or had it since this one began
};
