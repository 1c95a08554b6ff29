#pragma once
#include "core/ftp/StatPipeline.h"
#include "FolderWalk.h"
#include "WalkContext.h"

#include <QHash>
#include <deque>
#include <memory>

// The walk on servers that list on the control connection (STAT)
// and answer pipelined commands in order: up to a window of folders' listings
// in flight on the one connection, each stored as it arrives, on the thread
// that owns the catalogue. A folder's row is stored before its listing is
// asked for, so every child finds its parent's ID; folders are listed a level
// at a time rather than depth first, which the catalogue does not mind.
class PipelinedWalk : public FolderWalk
{
public:
    // Folders asked for and not yet stored at most: several times the
    // largest window, so the pipeline never runs dry.
    static constexpr qsizetype MostAsked = 2048;

    explicit PipelinedWalk(WalkContext &context);
    ~PipelinedWalk() override;

    // Probes the server; false leaves the walk to one listing at a time.
    bool start() override;
    void run() override;

private:
    // A folder asked for, and whether it was asked for again after the
    // connection was lost on it.
    struct Asked
    {
        WalkContext::Folder folder;
        bool again = false;
    };

    bool going();
    void takeProbed();
    void askForFound();
    void ask(const Asked &a);
    Asked answered(const QByteArray &path);
    void take(const Asked &a, const FtpSession::Listing &listing);
    bool askAgainAfterLoss(const Asked &a, const FtpSession::Listing &listing);

    WalkContext &m_c;
    FtpSession *m_session = nullptr;
    std::unique_ptr<StatPipeline> m_pipeline;
    // Keyed by path; a server that lists a name twice has it asked for twice.
    QHash<QByteArray, std::deque<Asked>> m_asked;
    qsizetype m_outstanding = 0;
};
