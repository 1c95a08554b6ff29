#pragma once
#include "ScanRun.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

class UserMessages;

// The catalogue's record of scan runs in table ScanRun: one row per scan of
// a host, failed or not, numbered per host. A catalogue whose hosts were
// scanned before runs were recorded knows none of those scans. Every call
// throws CatalogueError unless it says otherwise.
class ScanRuns
{
public:
    explicit ScanRuns(const QSqlDatabase &db);

    // Stores run (its number is drawn here; times in any zone, stored as
    // UTC) and returns its number.
    qint64 record(const ScanRun &run);
    // The same for the end of a scan, which goes on when it fails: the
    // failure is told to the user, and 0 returned.
    qint64 record(const ScanRun &run, UserMessages &messages);
    // Only times, for callers that know no more.
    void record(const QString &host, const QDateTime &started, const QDateTime &ended);

    // Newest first.
    QList<ScanRun> history(const QString &host) const;
    std::optional<ScanRun> last(const QString &host) const;

    // What the host list and the choice of hosts to rescan need of each
    // host with a run recorded.
    struct Status
    {
        ScanRun last;
        QDateTime lastAnswered; // UTC; invalid when no run reached the server
        QDateTime lastComplete; // UTC; invalid when no run completed
    };
    QHash<QString, Status> statusByHost() const;

    // When host's latest recorded run started, in UTC; invalid when none is recorded.
    QDateTime lastStarted(const QString &host) const;
    QHash<QString, QDateTime> lastStartedByHost() const;

private:
    bool hasTable() const;
    QString selectRuns() const;

    QSqlDatabase m_db;
};
