#pragma once
#include "FolderWalk.h"
#include "WalkContext.h"

// One listing at a time on the scan's connection, depth first. It runs on
// every server, and lists what another walk left (a probe that failed,
// every extra connection lost).
class SerialWalk : public FolderWalk
{
public:
    explicit SerialWalk(WalkContext &context)
        : m_c(context)
    {
    }

    bool start() override { return true; }
    void run() override;

private:
    void listOne();
    void prefetchNext(const QList<FileEntry> &entries, const QByteArray &path);

    WalkContext &m_c;
};
