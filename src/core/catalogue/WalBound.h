#pragma once

struct sqlite3;

// Keeps a writer's log near its checkpoint size however busy the readers
// are. SQLite's own automatic checkpoint copies the log into the file but
// starts the log over only when no reader uses it as the next write begins:
// with the window's grid reading a page at a time beside a scan, that moment
// hardly came, and the log grew by every commit. At the checkpoint size this
// checkpoint waits (on the busy timeout) for the readers of the moment,
// each of which holds one query, and empties the log. When a long reader
// keeps it waiting out the timeout, the copy is made all the same and the
// next try waits for as much log again, so a scan is held up at most once
// per checkpoint size.
class WalBound
{
public:
    WalBound() = default;
    WalBound(const WalBound &) = delete;
    WalBound &operator=(const WalBound &) = delete;
    ~WalBound() { uninstall(); }

    // Replaces the automatic checkpoint on db: frames is the checkpoint
    // size in log pages. db stays open until this goes or uninstall().
    void install(sqlite3 *db, int frames);
    void uninstall();

private:
    static int afterCommit(void *bound, sqlite3 *db, const char *schema, int frames);

    sqlite3 *m_db = nullptr;
    int m_frames = 0;
    int m_nextTry = 0; // the log's frames at which emptying it is tried next
};
