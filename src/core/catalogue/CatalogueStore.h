#pragma once
#include "CopiedRow.h"
#include "EntryName.h"
#include "NameIndex.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

struct sqlite3;

// Where a catalogue's rows go: one database's way of storing them, of
// writing change lines, of claiming a host and of counting. Catalogue runs
// the transaction and the folder being listed, and asks the store for the
// rest. The store owns the connection; it removes it when destroyed.
class CatalogueStore
{
public:
    // A new row as StoreEntry gives it.
    struct NewRow
    {
        const EntryName &split;
        qint32 pid;
        qint64 size; // bytes
        double lac; // the listing's time bytes
        qint32 attr;
        const QByteArray &bytes; // the listed bytes
        const QString &host;     // cut to the stored length
        const QByteArray &hostUtf8;
    };

    explicit CatalogueStore(const QString &connection) : m_connection(connection) {}
    virtual ~CatalogueStore();
    CatalogueStore(const CatalogueStore &) = delete;
    CatalogueStore &operator=(const CatalogueStore &) = delete;

    // Opens the connection and makes the schema. Throws CatalogueError.
    virtual void open(const QString &where, const NameIndex::Progress &progress) = 0;
    QSqlDatabase &database() { return m_db; }
    const QSqlDatabase &database() const { return m_db; }
    // SQLite's own handle, for the hot paths; null on other databases.
    virtual sqlite3 *handle() const { return nullptr; }
    // True when several writers fill the database at once.
    virtual bool isShared() const = 0;
    bool nameIndexReady() const { return m_nameIndexReady; }

    // Inside the open transaction; returns the row's ID. Throws CatalogueError.
    virtual qint32 insertRow(const NewRow &row) = 0;
    virtual void updateRow(qint32 id, qint64 size, double lac) = 0;
    virtual void insertCopies(const QList<CopiedRow> &rows) = 0;
    virtual void addChange(const QString &host, const QByteArray &hostUtf8, const QByteArray &change, qint32 id) = 0;
    // Writes change lines kept back, as what follows must come after them.
    virtual void writeKeptChanges() {}
    // True when rows gathered but not yet sent are enough for send().
    bool sendDue() const { return m_sendDue; }
    // True when the store gathers rows to send them in batches: what walks
    // the table with statements of its own commits them first.
    virtual bool gathersRows() const { return false; }
    // Sends what the store gathered, so that a query sees it; returns the IDs
    // drawn again, old to new. Throws CatalogueError (the transaction is void).
    virtual QHash<qint32, qint32> send() { return {}; }
    // Just before the commit. Throws CatalogueError.
    virtual void beforeCommit() {}
    // The transaction was rolled back: what was kept for it goes.
    virtual void discard() = 0;
    // The error as the user is told it.
    virtual QString failure(const QString &why) { return why; }

    virtual bool lockHost(const QString &host) = 0;
    virtual void unlockHost(const QString &host) = 0;
    virtual qint64 recordCount() = 0;

protected:
    QString m_connection;
    QSqlDatabase m_db;
    bool m_nameIndexReady = false;
    bool m_sendDue = false;
};
