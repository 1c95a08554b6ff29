#pragma once
#include <QElapsedTimer>
#include <QJsonObject>
#include <QMutex>
#include <QSqlDatabase>

// /api/hosts: each host's rows and total size, {"hosts": [{"Host", "Rows",
// "TotalSize"}]}. Counting is a pass over every row (seconds on ten
// million), so one answer serves every request for a minute; the threads
// that ask meanwhile wait for the one that counts. Shared by the threads.
class HostsApi
{
public:
    static constexpr qint64 KeptMs = 60000;

    // Throws CatalogueError.
    QJsonObject answer(const QSqlDatabase &db);

private:
    QMutex m_mutex;
    QElapsedTimer m_age;
    QJsonObject m_kept;
};
