#include "WalBound.h"

#include <sqlite3.h>

void WalBound::install(sqlite3 *db, int frames)
{
    uninstall();
    m_db = db;
    m_frames = frames;
    m_nextTry = frames;
    sqlite3_wal_hook(db, afterCommit, this);
}

void WalBound::uninstall()
{
    if (m_db)
        sqlite3_wal_hook(m_db, nullptr, nullptr);
    m_db = nullptr;
}

// Called after each commit, with the write lock let go.
int WalBound::afterCommit(void *context, sqlite3 *db, const char *schema, int frames)
{
    auto *bound = static_cast<WalBound *>(context);
    if (frames < bound->m_nextTry)
        return SQLITE_OK;
    if (sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) == SQLITE_OK) {
        bound->m_nextTry = bound->m_frames;
        return SQLITE_OK;
    }
    sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    bound->m_nextTry = frames + bound->m_frames;
    return SQLITE_OK;
}
