#include "ThreadConnection.h"

#include <QElapsedTimer>
#include <memory>

namespace {
struct Kept
{
    QString where;
    std::unique_ptr<ReadConnection> connection;
    std::unique_ptr<PathSearch> search;
    QElapsedTimer searchAge;
};
thread_local Kept t_kept;
} // namespace

ReadConnection &ThreadConnection::get(const QString &where, int timeoutMs)
{
    if (!t_kept.connection || t_kept.where != where) {
        t_kept.search.reset();
        t_kept.connection.reset();
        t_kept.connection = std::make_unique<ReadConnection>(where, timeoutMs);
        t_kept.where = where;
    }
    return *t_kept.connection;
}

PathSearch &ThreadConnection::search(const QString &where, int timeoutMs, const FolderPaths::CodePageOf &codePageOf)
{
    ReadConnection &connection = get(where, timeoutMs);
    if (!t_kept.search || t_kept.searchAge.elapsed() > SearchKeptMs) {
        t_kept.search = std::make_unique<PathSearch>(connection.database(), codePageOf);
        t_kept.searchAge.start();
    }
    return *t_kept.search;
}
