#include "Catalogue.h"
#include "core/base/ListedTime.h"
#include "PendingFolders.h"
#include "CatalogueAddress.h"
#include "CatalogueError.h"
#include "EntryFields.h"
#include "ExactNames.h"
#include "IdDraw.h"
#include "PgStore.h"
#include "SqliteStore.h"
#include "WriterTurns.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <cstring>

namespace {
QAtomicInteger<int> g_connections;

} // namespace

Catalogue::Catalogue()
    : m_connection(QStringLiteral("harvex-catalogue-%1").arg(g_connections.fetchAndAddRelaxed(1)))
    , m_pacing([this] { commitOnTimer(); })
{
}

Catalogue::~Catalogue()
{
    close();
}

QString Catalogue::fileIn(const QString &folder)
{
    return SqliteStore::fileIn(folder);
}

void Catalogue::open(const QString &where, const NameIndex::Progress &progress)
{
    close();
    if (CatalogueAddress::isUrl(where))
        m_store = std::make_unique<PgStore>(m_connection);
    else
        m_store = std::make_unique<SqliteStore>(m_connection);
    m_store->open(where, progress);
    prepareQueries();
    m_pacing.start();
}

void Catalogue::close()
{
    if (isOpen()) {
        try {
            flush();
        } catch (const CatalogueError &) {
            // Closing after a failed write: SQLite rolls the open transaction back.
        }
    }
    m_moved.clear();
    m_children = QSqlQuery();
    m_byId = QSqlQuery();
    m_folderValid = false;
    m_store.reset();
}

bool Catalogue::isOpen() const
{
    return m_store && m_store->database().isOpen();
}

QSqlDatabase Catalogue::database() const
{
    return m_store ? m_store->database() : QSqlDatabase();
}

sqlite3 *Catalogue::handle() const
{
    return m_store ? m_store->handle() : nullptr;
}

bool Catalogue::isShared() const
{
    return m_store && m_store->isShared();
}

bool Catalogue::nameIndexReady() const
{
    return m_store && m_store->nameIndexReady();
}

CatalogueStore &Catalogue::store()
{
    if (!m_store)
        throw CatalogueError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    return *m_store;
}

void Catalogue::prepareQueries()
{
    const QSqlDatabase &db = m_store->database();
    m_children = QSqlQuery(db);
    m_children.setForwardOnly(true);
    m_children.prepare(QStringLiteral("SELECT %1, d.Attr, d.ID, d.Size, d.LAC FROM DB d "
                                      "LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.PID = ? AND d.Host = ?")
                           .arg(ExactNames::sqlBytes(db)));
    m_byId = QSqlQuery(db);
    m_byId.setForwardOnly(true);
    m_byId.prepare(QStringLiteral("SELECT d.Name, d.ext, d.Size, d.Host, d.Attr, d.ID, d.PID, %1 FROM DB d "
                                  "LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.ID = ?")
                       .arg(ExactNames::sqlBytes(db)));
}

qint32 Catalogue::NewRecordId()
{
    if (!isOpen())
        return 0;
    IdDraw ids;
    QSqlQuery taken(m_store->database());
    taken.prepare(QStringLiteral("SELECT 1 FROM DB WHERE ID = ?"));
    for (;;) {
        const qint32 v = ids.next();
        taken.bindValue(0, v);
        if (!taken.exec())
            throw CatalogueError(taken.lastError().text());
        if (!taken.next())
            return v;
    }
}

QByteArray Catalogue::childKey(const QByteArray &bytes, bool folder)
{
    // A file that turned into a folder of the same name is a new entry.
    QByteArray key = bytes;
    key.append('\0').append(folder ? 'd' : 'f');
    return key;
}

void Catalogue::loadFolder(qint32 parentId, const QString &host)
{
    if (m_folderValid && m_folderPid == parentId && m_folderHost == host)
        return;
    m_folder.clear();
    send(); // the query must see the rows gathered so far
    m_children.bindValue(0, parentId);
    m_children.bindValue(1, host);
    if (!m_children.exec())
        throw CatalogueError(failure(m_children.lastError().text()));
    while (m_children.next()) {
        const double lac = m_children.value(4).toDouble();
        quint64 bits;
        std::memcpy(&bits, &lac, sizeof bits);
        // A size stored as NULL by older versions differs from any listing: written again as a number.
        const QVariant size = m_children.value(3);
        m_folder.insert(childKey(m_children.value(0).toByteArray(), m_children.value(1).toInt() == 16),
                        Child{m_children.value(2).toInt(), size.isNull() ? std::nullopt : std::optional<qint64>(size.toLongLong()), bits, false});
    }
    m_children.finish();
    m_folderPid = parentId;
    m_folderHost = host;
    m_folderHostUtf8 = host.toUtf8();
    m_folderValid = true;
}

void Catalogue::beginListing(qint32 folderId, const QString &host, bool fresh)
{
    folderId = currentId(folderId);
    const QString storedHost = host.left(HostSize);
    if (!fresh) {
        m_folderValid = false; // loaded again: a rescan may have removed rows meanwhile
        loadFolder(folderId, storedHost);
        return;
    }
    m_folder.clear();
    m_folderPid = folderId;
    m_folderHost = storedHost;
    m_folderHostUtf8 = m_folderHost.toUtf8();
    m_folderValid = true;
}

QList<qint32> Catalogue::unlisted() const
{
    QList<qint32> ids;
    for (const Child &c : m_folder)
        if (!c.met)
            ids.append(c.id);
    return ids;
}

qint32 Catalogue::StoreEntry(const FileEntry &entry, qint32 parentId, const QString &host)
{
    if (!isOpen())
        throw CatalogueError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    const EntryFields f = EntryFields::of(entry);
    const QString storedHost = host.left(HostSize);
    parentId = currentId(parentId);
    loadFolder(parentId, storedHost);
    const QByteArray key = childKey(f.exact, f.folder);
    m_lastOutcome = Outcome::Unchanged;
    if (const auto it = m_folder.find(key); it != m_folder.end()) {
        updateIfChanged(*it, f.size, f.lac);
        return it->id;
    }
    m_lastOutcome = Outcome::Added;
    beginIfNeeded();
    throwDeferred();
    const qint32 id = m_store->insertRow(
        {f.split, parentId, f.size, f.lac, f.attr, f.exact, m_folderHost, m_folderHostUtf8});
    m_pacing.count();
    ++m_inserted;
    if (m_store->sendDue())
        send();
    m_folder.insert(key, Child{id, f.size, entry.time, true});
    commitIfDue();
    return id;
}

qint32 Catalogue::keepFolder(const FileEntry &folder, qint32 parentId, const QString &host)
{
    if (isOpen()) {
        loadFolder(currentId(parentId), host.left(HostSize));
        if (const auto it = m_folder.constFind(childKey(EntryFields::exactBytes(folder), true)); it != m_folder.cend()) {
            m_lastOutcome = Outcome::Unchanged;
            return it->id;
        }
    }
    return StoreEntry(folder, parentId, host);
}

void Catalogue::updateIfChanged(Child &child, qint64 size, double lac)
{
    child.met = true;
    quint64 bits;
    std::memcpy(&bits, &lac, sizeof bits);
    if (child.size == size && ListedTime::same(child.lac, bits)) {
        keepFinerTime(child, size, bits);
        return;
    }
    beginIfNeeded();
    m_store->updateRow(child.id, size, lac);
    m_lastEarlier.size = child.size;
    std::memcpy(&m_lastEarlier.lac, &child.lac, sizeof m_lastEarlier.lac);
    child.size = size;
    child.lac = bits;
    m_pacing.count();
    m_lastOutcome = Outcome::Changed;
    commitIfDue();
}

// A time listed to the minute or the day, where the row has one to the
// second (or the other way round), is no change: the row keeps the finer.
void Catalogue::keepFinerTime(Child &child, qint64 size, quint64 listed)
{
    const quint64 kept = ListedTime::finer(child.lac, listed);
    if (kept == child.lac)
        return;
    beginIfNeeded();
    double lac;
    std::memcpy(&lac, &kept, sizeof lac);
    m_store->updateRow(child.id, size, lac);
    child.lac = kept;
    m_pacing.count();
    commitIfDue();
}

void Catalogue::insertCopies(const QList<CopiedRow> &rows)
{
    store().insertCopies(rows);
}

void Catalogue::beginIfNeeded()
{
    if (m_inTransaction)
        return;
    CatalogueStore &s = store();
    if (m_turns && !s.isShared() && !m_holdsTurn) {
        m_turns->take([this] {
            QMetaObject::invokeMethod(&m_turnRequests, [this] { passTurnIfAsked(); }, Qt::QueuedConnection);
        });
        m_holdsTurn = true;
    }
    // With turns, the write lock is taken at once: a statement another
    // scan commits on its own (its ScanLock row) then waits for this
    // transaction, where after a plain BEGIN it would void this one's reads
    // and fail its first write with "database is locked".
    QSqlQuery immediate(s.database());
    const bool begun = m_holdsTurn ? immediate.exec(QStringLiteral("BEGIN IMMEDIATE")) : s.database().transaction();
    if (!begun) {
        const QString why = m_holdsTurn ? immediate.lastError().text() : m_store->database().lastError().text();
        endTransaction();
        throw CatalogueError(failure(why));
    }
    m_inTransaction = true;
    m_pacing.begun();
}

// The transaction is over, committed or rolled back: the next scan's turn.
void Catalogue::endTransaction()
{
    m_inTransaction = false;
    if (m_holdsTurn) {
        m_holdsTurn = false;
        m_turns->release();
    }
}

void Catalogue::passTurnIfAsked()
{
    if (m_inTransaction && m_turns && m_turns->othersWaiting())
        commitOnTimer();
}

void Catalogue::commitOnTimer()
{
    try {
        flush();
    } catch (const CatalogueError &e) {
        m_deferredError = e.message();
    }
}

void Catalogue::throwDeferred()
{
    if (m_deferredError.isEmpty())
        return;
    const QString why = m_deferredError;
    m_deferredError.clear();
    throw CatalogueError(why);
}

void Catalogue::flush()
{
    throwDeferred();
    if (!m_inTransaction)
        return;
    m_pacing.stop();
    m_inTransaction = false;
    QElapsedTimer took;
    took.start();
    QSqlDatabase &db = m_store->database();
    try {
        send();
        m_store->beforeCommit();
        if (!db.commit())
            throw CatalogueError(failure(db.lastError().text()));
        m_pacing.committed(took.elapsed());
    } catch (const CatalogueError &) {
        db.rollback();
        m_store->discard();
        m_folderValid = false;
        endTransaction();
        throw;
    }
    endTransaction();
}

void Catalogue::send()
{
    if (!m_store)
        return;
    QHash<qint32, qint32> moved;
    try {
        moved = m_store->send();
    } catch (const CatalogueError &e) {
        // The transaction is void: rolled back at once, so the host's lock
        // and the connection stay usable for what follows.
        const QString why = failure(e.message());
        m_store->database().rollback();
        endTransaction();
        m_pacing.stop();
        m_store->discard();
        m_folderValid = false;
        throw CatalogueError(why);
    }
    if (moved.isEmpty())
        return;
    m_moved.insert(moved);
    for (Child &c : m_folder)
        c.id = moved.value(c.id, c.id);
    PendingFolders::renumber(m_store->database(), moved);
}

QString Catalogue::failure(const QString &why)
{
    return m_store ? m_store->failure(why) : why;
}

bool Catalogue::lockHost(const QString &host)
{
    return !m_store || m_store->lockHost(host.left(HostSize));
}

void Catalogue::unlockHost(const QString &host)
{
    if (m_store)
        m_store->unlockHost(host.left(HostSize));
}

void Catalogue::logChange(const QString &host, const QByteArray &hostUtf8, const QByteArray &change, qint32 id)
{
    beginIfNeeded();
    m_store->addChange(host, hostUtf8, change, id);
}

void Catalogue::logChange(const QString &host, const QString &change, qint32 id)
{
    logChange(host, host.toUtf8(), change.toLatin1(), id);
}

void Catalogue::keepChange(const QByteArray &hostUtf8, const QByteArray &change, qint32 id)
{
    logChange(QString::fromUtf8(hostUtf8), hostUtf8, change, id);
}

void Catalogue::writeKeptChanges()
{
    if (m_store)
        m_store->writeKeptChanges();
}

void Catalogue::commitGathered()
{
    if (m_store && m_store->gathersRows())
        flush();
}

qint64 Catalogue::recordCount()
{
    return store().recordCount();
}

std::optional<CatalogueRecord> Catalogue::recordById(qint32 id)
{
    id = currentId(id);
    send();
    m_byId.bindValue(0, id);
    if (!m_byId.exec())
        throw CatalogueError(failure(m_byId.lastError().text()));
    if (!m_byId.next())
        return std::nullopt;
    const CatalogueRecord r = CatalogueRecord::fromColumns(m_byId);
    m_byId.finish();
    return r;
}
