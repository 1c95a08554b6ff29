#include "FolderQueue.h"

#include <QMutexLocker>
#include <algorithm>
#include <utility>

void FolderQueue::push(const Job &job)
{
    QMutexLocker lock(&m_mutex);
    m_jobs.push_back(job);
    m_jobCame.wakeOne();
}

bool FolderQueue::takeJob(Job &job)
{
    QMutexLocker lock(&m_mutex);
    if (m_jobs.empty())
        return false;
    job = std::move(m_jobs.back());
    m_jobs.pop_back();
    return true;
}

bool FolderQueue::waitJob(Job &job)
{
    QMutexLocker lock(&m_mutex);
    while (m_jobs.empty() && !m_closed)
        m_jobCame.wait(&m_mutex);
    if (m_closed)
        return false;
    job = std::move(m_jobs.back());
    m_jobs.pop_back();
    return true;
}

bool FolderQueue::withdraw(qint64 ticket)
{
    QMutexLocker lock(&m_mutex);
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [ticket](const Job &j) { return j.ticket == ticket; });
    if (it == m_jobs.end())
        return false;
    m_jobs.erase(it);
    return true;
}

qsizetype FolderQueue::queued() const
{
    QMutexLocker lock(&m_mutex);
    return qsizetype(m_jobs.size());
}

void FolderQueue::close()
{
    QMutexLocker lock(&m_mutex);
    m_closed = true;
    m_jobs.clear();
    m_jobCame.wakeAll();
}

void FolderQueue::report(Report r)
{
    QMutexLocker lock(&m_mutex);
    m_reports.append(std::move(r));
    m_reportCame.wakeOne();
}

QList<FolderQueue::Report> FolderQueue::takeReports(int waitMs)
{
    QMutexLocker lock(&m_mutex);
    if (m_reports.isEmpty() && waitMs > 0)
        m_reportCame.wait(&m_mutex, waitMs);
    return std::exchange(m_reports, {});
}
