#pragma once
#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>

class UserMessages;

// The catalogue's record of scan runs in table ScanRun: one row per scan of
// a host, with when it started and ended. The table is made by the first
// run recorded; a catalogue whose hosts were scanned before it existed knows
// no runs until they are scanned again.
class ScanRuns
{
public:
    explicit ScanRuns(const QSqlDatabase &db);

    // Stores one run (times in any zone; stored as UTC). Throws CatalogueError.
    void record(const QString &host, const QDateTime &started, const QDateTime &ended);
    // The same for the end of a scan, which goes on when it fails: the
    // failure is told to the user.
    void record(const QString &host, const QDateTime &started, const QDateTime &ended, UserMessages &messages);
    // When host's latest recorded run started, in UTC; invalid when none is
    // recorded. Throws CatalogueError.
    QDateTime lastStarted(const QString &host) const;
    // The same for every host with a run recorded. Throws CatalogueError.
    QHash<QString, QDateTime> lastStartedByHost() const;

private:
    bool hasTable() const;

    QSqlDatabase m_db;
};
