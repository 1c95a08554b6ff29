#pragma once
#include "core/ftp/FtpSession.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QWaitCondition>
#include <deque>

// The folders a scan's connections share, and the listings on their way back
// to the one thread that stores them. Every member is thread-safe.
class FolderQueue
{
public:
    struct Job
    {
        qint64 ticket = 0;
        QByteArray path;
    };
    // What a connection of its own thread tells the storing thread.
    struct Report
    {
        enum class Kind { Opened, Refused, Listed, Lost, Ended };
        Kind kind = Kind::Ended;
        int lister = 0;
        Job job;
        FtpSession::Listing listing;
        FtpSession::Refusal refusal = FtpSession::Refusal::None;
        QString error;
    };

    // Taken last in, first out: the walk goes deep first, as one connection's does.
    void push(const Job &job);
    bool takeJob(Job &job);
    // Blocks until a job comes or the queue closes (false).
    bool waitJob(Job &job);
    // A job no connection took yet leaves the queue; false when it was taken.
    bool withdraw(qint64 ticket);
    qsizetype queued() const;
    // No more jobs: every waiting connection wakes and ends.
    void close();

    void report(Report r);
    // What was reported, waiting up to waitMs when nothing was yet.
    QList<Report> takeReports(int waitMs);

private:
    mutable QMutex m_mutex;
    QWaitCondition m_jobCame;
    QWaitCondition m_reportCame;
    std::deque<Job> m_jobs;
    QList<Report> m_reports;
    bool m_closed = false;
};
