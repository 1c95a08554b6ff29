#include "PgStore.h"
#include "CatalogueAddress.h"
#include "CatalogueError.h"
#include "ExactNames.h"
#include "NameFold.h"
#include "PgFoldedNames.h"
#include "PgSchema.h"
#include "SqlStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {
// Advisory lock key ("Harv", host hash): claims a host for a scan.
constexpr int HostLockClass = 0x48617276;

QString literal(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::QByteArray)
        return PgBatch::literal(v.toByteArray());
    if (v.typeId() == QMetaType::QString)
        return PgBatch::literal(v.toString());
    if (v.typeId() == QMetaType::Double)
        return PgBatch::literal(v.toDouble());
    return QString::number(v.toLongLong());
}
} // namespace

void PgStore::open(const QString &url, const NameIndex::Progress &progress)
{
    m_db = CatalogueAddress::connection(url, m_connection);
    if (!m_db.open())
        throw CatalogueError(QStringLiteral("Cannot open the catalogue database %1: %2")
                                 .arg(CatalogueAddress::shown(url), m_db.lastError().text().trimmed()));
    // The batch writes its text literals for this setting.
    SqlStatement::exec(m_db, QStringLiteral("SET standard_conforming_strings = on"));
    // "already exists, skipping" and the like are not for the user's terminal.
    SqlStatement::exec(m_db, QStringLiteral("SET client_min_messages = warning"));
    PgSchema::create(m_db, progress);
    PgFoldedNames::refresh(m_db);
    m_nameIndexReady = true; // folded names go with their rows, and PostgreSQL keeps their index
    m_batch.setDatabase(m_db);
}

qint32 PgStore::insertRow(const NewRow &row)
{
    const qint32 id = m_batch.add({0, row.pid, row.size, row.split.name, row.split.ext, row.host, row.lac, row.attr,
                                   NameFold::fold(row.split.name)},
                                  m_ids);
    if (ExactNames::needsRow(row.split, row.bytes))
        m_batch.addExact(id, row.bytes);
    m_sendDue = m_batch.rowCount() >= SendEvery;
    return id;
}

void PgStore::insertCopies(const QList<CopiedRow> &rows)
{
    QStringList values, exact, folded;
    for (const CopiedRow &r : rows) {
        folded << PgFoldedNames::value(r.id, r.name.toString());
        values << QStringLiteral("(%1,%2,%3,%4,%5,%6,%7,%8)")
                      .arg(literal(r.name), literal(r.ext), literal(r.size), literal(r.host), literal(r.attr),
                           literal(r.lac))
                      .arg(r.id)
                      .arg(r.pid);
        if (!r.bytes.isNull())
            exact << QStringLiteral("(%1,%2)").arg(r.id).arg(PgBatch::literal(r.bytes.toByteArray()));
    }
    SqlStatement::run(m_db, QStringLiteral("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES %1")
                                .arg(values.join(u',')));
    if (!folded.isEmpty())
        SqlStatement::run(m_db, PgFoldedNames::insertSql(folded));
    if (!exact.isEmpty())
        SqlStatement::run(m_db, QStringLiteral("INSERT INTO ExactName (ID, Bytes) VALUES %1").arg(exact.join(u',')));
}

void PgStore::addChange(const QString &host, const QByteArray &, const QByteArray &change, qint32 id)
{
    m_batch.addChange(host, QString::fromLatin1(change), id);
}

QHash<qint32, qint32> PgStore::send()
{
    m_sendDue = false;
    if (m_batch.isEmpty())
        return {};
    return m_batch.send();
}

void PgStore::discard()
{
    m_batch.clear();
    m_sendDue = false;
}

// A PostgreSQL error says what went wrong with the statement; when the
// connection itself is gone the user is told that instead.
QString PgStore::failure(const QString &why)
{
    static const QString lost = QStringLiteral("The connection to the catalogue database was lost: ");
    if (why.startsWith(lost))
        return why; // told once already
    QSqlQuery probe(m_db);
    if (m_db.isOpen() && probe.exec(QStringLiteral("SELECT 1")))
        return why.trimmed();
    return lost + why.trimmed();
}

bool PgStore::lockHost(const QString &host)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT pg_try_advisory_lock(%1, hashtext(?))").arg(HostLockClass));
    q.addBindValue(host);
    if (!q.exec() || !q.next())
        throw CatalogueError(failure(q.lastError().text()));
    return q.value(0).toBool();
}

void PgStore::unlockHost(const QString &host)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT pg_advisory_unlock(%1, hashtext(?))").arg(HostLockClass));
    q.addBindValue(host);
    q.exec(); // a lost connection has let the lock go already
}

qint64 PgStore::recordCount()
{
    QSqlQuery q = SqlStatement::exec(m_db, QStringLiteral("SELECT COUNT(*) FROM DB"));
    return q.next() ? q.value(0).toLongLong() : 0;
}
