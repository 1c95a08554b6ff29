#pragma once
#include "CatalogueRecord.h"
#include "CommitPacing.h"
#include "CopiedRow.h"
#include "ExactNames.h"
#include "NameIndex.h"
#include "PgSchema.h"
#include "core/base/FileEntry.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <memory>
#include <optional>

class CatalogueStore;
class WriterTurns;
struct sqlite3;

// The catalogue: table DB in one SQLite file inside the folder "DB", or in a
// shared PostgreSQL database that several writers fill at once; a
// CatalogueStore does what differs. Writes are grouped in transactions that
// CommitPacing commits on time, or flush() at once. A crash loses at most
// that span, which the next scan stores again. Create and use the object on
// one thread: the pacing's timer runs there.
class Catalogue
{
public:
    static constexpr int HostSize = 255;
    static constexpr int CommitEvery = CommitPacing::CommitEvery;
    static constexpr int CommitAfterMs = CommitPacing::CommitAfterMs;
    static constexpr int CommitCostFactor = CommitPacing::CommitCostFactor;
    static constexpr int CommitTimerMs = CommitPacing::CommitTimerMs;
    // Version of the PostgreSQL schema; a later change migrates from it.
    static constexpr int PgSchemaVersion = PgSchema::Version;

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
    // True when several writers fill the catalogue at once (a shared
    // database): what failed under a scan may be another writer's doing.
    bool isShared() const;
    // Scans of this process that write one SQLite file at once share turns:
    // each transaction of this catalogue waits for its turn, and commits at
    // the next pause of its thread when another scan waits. No effect on a
    // shared database, which takes many writers. Before the first write.
    void shareWriterTurns(std::shared_ptr<WriterTurns> turns) { m_turns = std::move(turns); }
    // Claims host for this writer's scan, so that two scans of one host never
    // store an entry twice; false when another writer of the shared database
    // is scanning it. Always true on SQLite, whose file takes one writer at a
    // time. Throws CatalogueError.
    bool lockHost(const QString &host);
    void unlockHost(const QString &host);
    // One line of ScanChange: SQLite keeps it back, to go out before the
    // commit of its row; PostgreSQL sends it with the rows' batch.
    void logChange(const QString &host, const QByteArray &hostUtf8, const QByteArray &change, qint32 id);
    void logChange(const QString &host, const QString &change, qint32 id);
    void keepChange(const QByteArray &hostUtf8, const QByteArray &change, qint32 id);
    // Writes the lines kept back, as what follows must come after them.
    void writeKeptChanges();
    // Commits what a shared catalogue has gathered, so that a walk of the
    // table by statements of its own sees every row stored. Throws CatalogueError.
    void commitGathered();
    // The ID a row has now: on PostgreSQL, a drawn ID another writer held
    // when the batch went out was drawn again.
    qint32 currentId(qint32 id) const { return m_moved.value(id, id); }
    // True when the trigram index on names covers every row.
    bool nameIndexReady() const;
    void close();
    bool isOpen() const;
    QSqlDatabase database() const;
    QString connectionName() const { return m_connection; }
    static QString fileIn(const QString &folder);

    // Stores one entry under parentId for host, or finds the entry already
    // stored in that folder by its exact listed name (and whether it is a
    // folder); returns the row's ID. A found row whose size or time differ
    // from the listing's is updated. Throws CatalogueError.
    qint32 StoreEntry(const FileEntry &entry, qint32 parentId, const QString &host);
    // A folder above the part of a host a scan lists: its row as it is
    // (outcome Unchanged), or added as StoreEntry adds it.
    qint32 keepFolder(const FileEntry &folder, qint32 parentId, const QString &host);
    // An ID no row has yet; 0 when the catalogue is not open.
    qint32 NewRecordId();
    // Rows read from another catalogue, stored with their IDs in the open
    // transaction. Throws CatalogueError.
    void insertCopies(const QList<CopiedRow> &rows);
    enum class Outcome { Unchanged, Added, Changed };
    // What the last StoreEntry did.
    Outcome lastOutcome() const { return m_lastOutcome; }
    bool lastWasNew() const { return m_lastOutcome == Outcome::Added; }
    // The size and LAC the row had before the last StoreEntry changed it.
    struct Earlier
    {
        std::optional<qint64> size; // none: stored as NULL
        double lac = 0;
    };
    Earlier lastEarlier() const { return m_lastEarlier; }
    // Starts the listing of one folder: its stored children are loaded so
    // that unlisted() can tell which ones the listing no longer holds. fresh:
    // the folder's row was inserted a moment ago and holds nothing yet.
    void beginListing(qint32 folderId, const QString &host, bool fresh);
    void beginNewFolder(qint32 folderId, const QString &host) { beginListing(folderId, host, true); }
    // Stored children of the folder begun last that no StoreEntry met since.
    QList<qint32> unlisted() const;
    // Opens the write transaction when none is open. Throws CatalogueError.
    void beginWrite() { beginIfNeeded(); }
    // SQLite's own handle; null on PostgreSQL.
    sqlite3 *handle() const;
    // Commits what has gathered. Throws CatalogueError.
    void flush();
    // Forgets the folder children remembered between stores: a scan starts
    // from what the table holds, never from what an earlier scan saw.
    void forgetFolder() { m_folderValid = false; }

    // why as the user is told it: on a shared database whose connection is
    // gone, it says so. For errors of statements run beside the store's own.
    QString describe(const QString &why) { return failure(why); }

    qint64 recordCount();
    // Rows this object has inserted since it was opened: lets a scan show the
    // table's size without counting it per folder.
    qint64 insertedCount() const { return m_inserted; }
    std::optional<CatalogueRecord> recordById(qint32 id);

private:
    // The open catalogue's store. Throws CatalogueError when closed.
    CatalogueStore &store();
    QString failure(const QString &why);
    void prepareQueries();
    void loadFolder(qint32 parentId, const QString &host);
    void beginIfNeeded();
    void commitIfDue()
    {
        if (m_pacing.due())
            flush();
    }
    void commitOnTimer();
    void endTransaction();
    void passTurnIfAsked();
    void throwDeferred();
    void send();
    struct Child
    {
        qint32 id;
        std::optional<qint64> size; // none: stored as NULL by older versions
        quint64 lac; // the LAC field's 8 bytes
        bool met;
    };
    void updateIfChanged(Child &child, qint64 size, double lac);
    void keepFinerTime(Child &child, qint64 size, quint64 listed);
    static QByteArray childKey(const QByteArray &bytes, bool folder);

    QString m_connection;
    std::unique_ptr<CatalogueStore> m_store;
    CommitPacing m_pacing;
    QSqlQuery m_children;
    QSqlQuery m_byId;
    bool m_inTransaction = false;
    qint64 m_inserted = 0;
    Outcome m_lastOutcome = Outcome::Unchanged;
    Earlier m_lastEarlier;
    QString m_deferredError; // a timed commit failed: the next write reports it
    // Children of the folder being stored, keyed by exact name and kind: one
    // query per listing instead of one per entry.
    bool m_folderValid = false;
    qint32 m_folderPid = 0;
    QString m_folderHost;
    QByteArray m_folderHostUtf8; // bound to every row of the folder: converted once
    QHash<QByteArray, Child> m_folder;
    QHash<qint32, qint32> m_moved;
    std::shared_ptr<WriterTurns> m_turns;
    bool m_holdsTurn = false;
    // Lives on the catalogue's thread: another scan's request to commit
    // runs there, at a pause, as the commit timer does.
    QObject m_turnRequests;
};
