#pragma once
#include "CatalogueRecord.h"
#include "ChangeLines.h"
#include "NameIndex.h"
#include "ExactNames.h"
#include "PgBatch.h"
#include "core/base/FileEntry.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QTimer>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// The catalogue: table DB in one SQLite file inside the folder "DB", or in a
// shared PostgreSQL database that several writers fill at once.
// Writes are grouped: a transaction is committed when a quarter second has
// passed (or, once commits grow slow on a large catalogue, four times as long
// as the last commit took), when CommitEvery entries have gathered, or when
// flush() is called. A crash loses at most that span, which the next scan
// stores again. A timer on the writing thread commits on time even while
// that thread waits on the network: create and use the object on one thread.
// Each commit rewrites every page of the random ID index it touched; past a
// few million rows a commit touches most of them, whatever its size, and
// takes a second or more. Commits paced by their own cost keep that to a
// fifth of the storing time: measured over 2,000,000 entries, a quarter of
// the processor time, and two thirds of the kernel time, went.
class Catalogue
{
public:
    static constexpr int HostSize = 255;
    static constexpr int CommitEvery = 500000;
    static constexpr int CommitAfterMs = 250;
    static constexpr int CommitCostFactor = 4;
    // The timer's margin: a thread that waits on the network runs its timers
    // every 50 ms.
    static constexpr int CommitTimerMs = 190;
    // PostgreSQL: rows gathered before they go out in the open transaction.
    static constexpr int SendEvery = 5000;
    // Version of the PostgreSQL schema; a later change migrates from it.
    static constexpr int PgSchemaVersion = 1;

    Catalogue();
    ~Catalogue();
    Catalogue(const Catalogue &) = delete;
    Catalogue &operator=(const Catalogue &) = delete;

    // Creates the folder and the table when missing, and gives a catalogue
    // without the trigram index on names its index, telling progress after
    // each batch; progress returning false stops that build and leaves the
    // catalogue open and whole, its finds scanning until a later open
    // completes it. where: the folder, or a PostgreSQL address
    // (CatalogueAddress), whose schema is made on first use. Throws CatalogueError.
    void open(const QString &where, const NameIndex::Progress &progress = {});
    bool isPostgres() const { return m_pg; }
    // Claims host for this writer's scan, so that two scans of one host never
    // store an entry twice; false when another writer of the shared database
    // is scanning it. Always true on SQLite, whose file takes one writer at a
    // time. Throws CatalogueError.
    bool lockHost(const QString &host);
    void unlockHost(const QString &host);
    // One line of ScanChange; PostgreSQL sends it with the rows' batch.
    void logChange(const QString &host, const QString &change, qint32 id);
    // The same on SQLite: kept back, to go out before the commit of its row.
    void keepChange(const QByteArray &hostUtf8, const QByteArray &change, qint32 id);
    // Writes the lines kept back, as what follows must come after them.
    void writeKeptChanges() { m_changeLines.write(); }
    // The ID a row has now: on PostgreSQL, a drawn ID another writer held
    // when the batch went out was drawn again.
    qint32 currentId(qint32 id) const { return m_moved.value(id, id); }
    // True when the trigram index on names covers every row.
    bool nameIndexReady() const { return m_nameIndexReady; }
    void close();
    bool isOpen() const { return m_db.isOpen(); }
    QSqlDatabase database() const { return m_db; }
    QString connectionName() const { return m_connection; }
    static QString fileIn(const QString &folder);

    // Stores one entry under parentId for host, or finds the entry already
    // stored in that folder by its exact listed name (and whether it is a
    // folder); returns the row's ID. A found row whose size or time differ
    // from the listing's is updated. Throws CatalogueError.
    qint32 StoreEntry(const FileEntry &entry, qint32 parentId, const QString &host);
    // An ID no row has yet; 0 when the catalogue is not open.
    qint32 NewRecordId();
    enum class Outcome { Unchanged, Added, Changed };
    // What the last StoreEntry did.
    Outcome lastOutcome() const { return m_lastOutcome; }
    bool lastWasNew() const { return m_lastOutcome == Outcome::Added; }
    // Starts the listing of one folder: its stored children are loaded so
    // that unlisted() can tell which ones the listing no longer holds. fresh:
    // the folder's row was inserted a moment ago and holds nothing yet.
    void beginListing(qint32 folderId, const QString &host, bool fresh);
    void beginNewFolder(qint32 folderId, const QString &host) { beginListing(folderId, host, true); }
    // Stored children of the folder begun last that no StoreEntry met since.
    QList<qint32> unlisted() const;
    // Opens the write transaction when none is open. Throws CatalogueError.
    void beginWrite() { beginIfNeeded(); }
    sqlite3 *handle() const { return m_handle; }
    // Commits what has gathered. Throws CatalogueError.
    void flush();
    // Forgets the folder children remembered between stores: a scan starts
    // from what the table holds, never from what an earlier scan saw.
    void forgetFolder() { m_folderValid = false; }

    qint64 recordCount();
    // Rows this object has inserted since it was opened: lets a scan show the
    // table's size without counting it per folder.
    qint64 insertedCount() const { return m_inserted; }
    std::optional<CatalogueRecord> recordById(qint32 id);

    static qint32 drawId(quint32 &state);
    static quint32 clockSeed();

private:
    void openSqlite(const QString &folder, const NameIndex::Progress &progress);
    void openPostgres(const QString &url);
    void createPgSchema();
    void createPgTables();
    void sendBatch();
    QString failure(const QString &why);
    qint32 addRow(const EntryName &split, qint32 parentId, double size, double lac, qint32 attr);
    void createSchema();
    void createTables();
    void tune();
    void prepareStatements();
    void prepareQueries();
    void loadFolder(qint32 parentId, const QString &host);
    void beginIfNeeded();
    void commitIfDue();
    void commitOnTimer();
    qint64 commitAfterMs() const;
    void throwDeferred();
    void indexNames();
    struct Row
    {
        qint32 pid;
        double size;
        QByteArray name, ext, host; // UTF-8
        double lac;
        qint32 attr;
    };
    void bindRow(const Row &row);
    qint32 insertRow(const Row &row);
    bool idCollision(int rc) const;
    static constexpr int MaxIdDraws = 1000;
    struct Child
    {
        qint32 id;
        double size;
        quint64 lac; // the LAC field's 8 bytes
        bool met;
    };
    void updateIfChanged(Child &child, double size, double lac);
    static QByteArray childKey(const QByteArray &bytes, bool folder);
    QSqlQuery exec(const QString &sql);

    QString m_connection;
    QSqlDatabase m_db;
    sqlite3 *m_handle = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_update = nullptr;
    ExactNames m_exact;
    ChangeLines m_changeLines;
    QSqlQuery m_children;
    QSqlQuery m_byId;
    bool m_inTransaction = false;
    int m_pending = 0;
    qint64 m_inserted = 0;
    Outcome m_lastOutcome = Outcome::Unchanged;
    bool m_nameIndexReady = false;
    QElapsedTimer m_sinceCommit;
    qint64 m_lastCommitMs = 0; // how long the last commit took
    QString m_countStamp; // what recordCount() last counted at
    qint64 m_count = 0;
    QTimer m_commitTimer;
    QString m_deferredError; // a timed commit failed: the next write reports it
    // Children of the folder being stored, keyed by exact name and kind: one
    // query per listing instead of one per entry.
    bool m_folderValid = false;
    qint32 m_folderPid = 0;
    QString m_folderHost;
    QByteArray m_folderHostUtf8; // bound to every row of the folder: converted once
    QHash<QByteArray, Child> m_folder;
    bool m_pg = false;
    PgBatch m_batch{QSqlDatabase()};
    QHash<qint32, qint32> m_moved;
    quint32 m_drawState = 0;
};
