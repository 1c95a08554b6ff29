#pragma once
#include "ScanRuns.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class Catalogue;

// Which hosts of the catalogue a rescan takes: every host with rows or runs;
// with an age, those whose last complete scan is older (or that never had
// one); with failedOnly, those whose last run did not complete. A host whose
// scan was cut short, and waits to be carried on, is always taken.
class RescanChoice
{
public:
    std::optional<qint64> olderThanSecs;
    bool failedOnly = false;
    QDateTime now = QDateTime::currentDateTimeUtc();

    struct Due
    {
        QString host;         // as stored
        QByteArray startPath; // the folder its last run listed below
        qint64 lastRun = 0;   // its last run's number when chosen; 0: none
    };
    // By name. Throws CatalogueError.
    QList<Due> due(Catalogue &catalogue) const;
    // Just before the scan of a host claimed: still due, and no run of it
    // recorded since it was chosen (another rescan's). Throws CatalogueError.
    bool stillDue(Catalogue &catalogue, const Due &chosen) const;

private:
    bool isDue(const ScanRuns::Status *status, bool waiting) const;
};
