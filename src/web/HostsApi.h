#pragma once
#include <QElapsedTimer>
#include <QJsonObject>
#include <QMutex>

class ReadConnection;

// /api/hosts: each host's rows and total size, {"hosts": [{"Host", "Rows",
// "TotalSize"}]}. Counting is a pass over every row (6 s on 13,000,000), so
// it may take up to CountMs rather than a search's time, and one answer
// serves every request for KeptMs; the threads that ask meanwhile wait for
// the one that counts. Shared by the threads.
class HostsApi
{
public:
    static constexpr int CountMs = 120000;
    static constexpr qint64 KeptMs = 300000;

    // Throws CatalogueError.
    QJsonObject answer(ReadConnection &connection);

private:
    QMutex m_mutex;
    QElapsedTimer m_age;
    QJsonObject m_kept;
};
