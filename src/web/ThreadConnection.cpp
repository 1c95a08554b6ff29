#include "ThreadConnection.h"

#include <memory>

namespace {
struct Kept
{
    QString where;
    std::unique_ptr<ReadConnection> connection;
};
thread_local Kept t_kept;
} // namespace

ReadConnection &ThreadConnection::get(const QString &where, int timeoutMs)
{
    if (!t_kept.connection || t_kept.where != where) {
        t_kept.connection.reset();
        t_kept.connection = std::make_unique<ReadConnection>(where, timeoutMs);
        t_kept.where = where;
    }
    return *t_kept.connection;
}
