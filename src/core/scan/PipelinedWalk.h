#pragma once
#include "core/ftp/StatPipeline.h"
#include "HostScanner.h"

#include <QHash>
#include <deque>
#include <memory>

// The scanner's walk on servers that list on the control connection (STAT)
// and answer pipelined commands in order: up to a window of folders' listings
// in flight on the one connection, each stored as it arrives, on the thread
// that owns the catalogue. A folder's row is stored before its listing is
// asked for, so every child finds its parent's ID; folders are listed a level
// at a time rather than depth first, which the catalogue does not mind.
class PipelinedWalk
{
public:
    explicit PipelinedWalk(HostScanner &scanner);
    ~PipelinedWalk();

    // Probes the server; false leaves the walk to the scanner, one listing
    // at a time.
    bool start();
    void run();

private:
    // A folder asked for, and whether it was asked for again after the
    // connection was lost on it.
    struct Asked
    {
        HostScanner::Pending folder;
        bool again = false;
    };

    bool going() const;
    void askForFound();
    void ask(const Asked &a);
    Asked answered(const QByteArray &path);
    void take(const Asked &a, const FtpSession::Listing &listing);
    bool askAgainAfterLoss(const Asked &a, const FtpSession::Listing &listing);

    HostScanner &m_s;
    FtpSession *m_session = nullptr;
    std::unique_ptr<StatPipeline> m_pipeline;
    // Keyed by path; a server that lists a name twice has it asked for twice.
    QHash<QByteArray, std::deque<Asked>> m_asked;
    qsizetype m_outstanding = 0;
};
