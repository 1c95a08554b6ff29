#pragma once
#include "core/catalogue/ReadConnection.h"

#include <QString>

// Each thread of the server's pool keeps a read connection of its own,
// opened on the thread's first request and closed as the thread ends.
class ThreadConnection
{
public:
    // This thread's connection to where. Throws CatalogueError.
    static ReadConnection &get(const QString &where, int timeoutMs);
};
