#include "PgBatch.h"
#include "CatalogueError.h"
#include "IdDraw.h"
#include "PgFoldedNames.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cmath>

namespace {
// Beyond this many draws in a row something other than chance refuses the IDs.
constexpr int MaxRedraws = 1000;

QString rowValues(const PgBatch::Row &r)
{
    return QStringLiteral("(%1,%2,%3,%4,%5,%6,%7,%8)")
        .arg(r.id)
        .arg(r.pid)
        .arg(QString::number(r.size), PgBatch::literal(r.name), PgBatch::literal(r.ext), PgBatch::literal(r.host),
             PgBatch::literal(r.lac))
        .arg(r.attr);
}
} // namespace

QString PgBatch::literal(const QString &text)
{
    // standard_conforming_strings is on for the catalogue's connections:
    // only the quote needs doubling.
    QString s = text;
    return u'\'' + s.replace(u'\'', QLatin1String("''")) + u'\'';
}

QString PgBatch::literal(double value)
{
    // 17 digits give every double back bit for bit: LAC keeps the listing's
    // eight time bytes in a double.
    if (std::isnan(value))
        return QStringLiteral("float8 'NaN'");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("float8 'Infinity'") : QStringLiteral("float8 '-Infinity'");
    return QStringLiteral("float8 '%1'").arg(QString::number(value, 'g', 17));
}

QString PgBatch::literal(const QByteArray &bytes)
{
    return QStringLiteral("decode('%1', 'hex')").arg(QString::fromLatin1(bytes.toHex()));
}

qint32 PgBatch::add(Row row, IdDraw &ids)
{
    do
        row.id = ids.next();
    while (m_ids.contains(row.id));
    m_ids.insert(row.id);
    m_rows.append(std::move(row));
    return m_rows.last().id;
}

void PgBatch::addExact(qint32 id, const QByteArray &bytes)
{
    m_exact.append({id, bytes});
}

void PgBatch::addChange(const QString &host, const QString &change, qint32 id)
{
    m_changes.append({host, change, id});
}

void PgBatch::addUpdate(qint32 id, qint64 size, double lac)
{
    m_updates.append({id, size, lac});
}

void PgBatch::clear()
{
    m_rows.clear();
    m_ids.clear();
    m_exact.clear();
    m_changes.clear();
    m_updates.clear();
}

void PgBatch::run(const QString &sql)
{
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        throw CatalogueError(q.lastError().text());
}

QSet<qint32> PgBatch::insertRows(const QList<Row> &rows)
{
    QSet<qint32> stored;
    for (qsizetype from = 0; from < rows.size(); from += RowsPerStatement) {
        QStringList values;
        for (qsizetype i = from; i < qMin(rows.size(), from + RowsPerStatement); ++i)
            values << rowValues(rows[i]);
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("INSERT INTO DB (ID, PID, Size, Name, ext, Host, LAC, Attr) VALUES %1 "
                                   "ON CONFLICT (ID) DO NOTHING RETURNING ID")
                        .arg(values.join(u','))))
            throw CatalogueError(q.lastError().text());
        while (q.next())
            stored.insert(q.value(0).toInt());
    }
    return stored;
}

QHash<qint32, qint32> PgBatch::send()
{
    QHash<qint32, qint32> moved;
    QList<Row> pending = m_rows;
    for (int tries = 0; !pending.isEmpty(); ++tries) {
        if (tries > MaxRedraws)
            throw CatalogueError(QStringLiteral("No free record ID could be drawn"));
        const QSet<qint32> stored = insertRows(pending);
        QList<Row> missing;
        for (const Row &r : std::as_const(pending))
            if (!stored.contains(r.id))
                missing.append(r);
        redraw(missing, moved);
        pending = missing;
    }
    followMoved(moved);
    sendFolded(moved);
    sendExact();
    sendChanges();
    sendUpdates();
    clear();
    return moved;
}

// The rows whose ID another writer holds get a new one; rows of the batch
// that name them as parent follow, whether stored already or still to go.
void PgBatch::redraw(QList<Row> &missing, QHash<qint32, qint32> &moved)
{
    if (missing.isEmpty())
        return;
    IdDraw ids;
    QHash<qint32, qint32> now;
    for (Row &r : missing) {
        qint32 id;
        do
            id = ids.next();
        while (m_ids.contains(id));
        m_ids.insert(id);
        now.insert(r.id, id);
        r.id = id;
    }
    for (Row &r : missing)
        r.pid = now.value(r.pid, r.pid);
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        // An ID moved earlier in this send that moves again: the first old ID follows too.
        for (auto m = moved.begin(); m != moved.end(); ++m)
            if (m.value() == it.key())
                m.value() = it.value();
        moved.insert(it.key(), it.value());
    }
}

void PgBatch::followMoved(const QHash<qint32, qint32> &moved)
{
    if (moved.isEmpty())
        return;
    for (const Row &r : std::as_const(m_rows)) {
        // Possibly stored under the parent's old ID: set by the row's own final ID.
        if (moved.contains(r.pid))
            run(QStringLiteral("UPDATE DB SET PID = %1 WHERE ID = %2").arg(moved.value(r.pid)).arg(moved.value(r.id, r.id)));
    }
    for (Exact &e : m_exact)
        e.id = moved.value(e.id, e.id);
    for (Change &c : m_changes)
        c.id = moved.value(c.id, c.id);
}

// After the rows, by their final IDs: each folded name refers to its row.
void PgBatch::sendFolded(const QHash<qint32, qint32> &moved)
{
    for (qsizetype from = 0; from < m_rows.size(); from += RowsPerStatement) {
        QStringList values;
        for (qsizetype i = from; i < qMin(m_rows.size(), from + RowsPerStatement); ++i) {
            const Row &r = m_rows[i];
            values << QStringLiteral("(%1,%2)").arg(moved.value(r.id, r.id)).arg(literal(r.folded));
        }
        run(PgFoldedNames::insertSql(values));
    }
}

void PgBatch::sendExact()
{
    for (qsizetype from = 0; from < m_exact.size(); from += RowsPerStatement) {
        QStringList values;
        for (qsizetype i = from; i < qMin(m_exact.size(), from + RowsPerStatement); ++i)
            values << QStringLiteral("(%1,%2)").arg(m_exact[i].id).arg(literal(m_exact[i].bytes));
        run(QStringLiteral("INSERT INTO ExactName (ID, Bytes) VALUES %1 "
                           "ON CONFLICT (ID) DO UPDATE SET Bytes = EXCLUDED.Bytes")
                .arg(values.join(u',')));
    }
}

void PgBatch::sendChanges()
{
    for (qsizetype from = 0; from < m_changes.size(); from += RowsPerStatement) {
        QStringList values;
        for (qsizetype i = from; i < qMin(m_changes.size(), from + RowsPerStatement); ++i) {
            const Change &c = m_changes[i];
            values << QStringLiteral("(%1,%2,%3)").arg(literal(c.host), literal(c.change)).arg(c.id);
        }
        run(QStringLiteral("INSERT INTO ScanChange (Host, Change, ID) VALUES %1").arg(values.join(u',')));
    }
}

void PgBatch::sendUpdates()
{
    for (qsizetype from = 0; from < m_updates.size(); from += RowsPerStatement) {
        QStringList values;
        for (qsizetype i = from; i < qMin(m_updates.size(), from + RowsPerStatement); ++i) {
            const Update &u = m_updates[i];
            values << QStringLiteral("(%1,%2,%3)").arg(u.id).arg(u.size).arg(literal(u.lac));
        }
        run(QStringLiteral("UPDATE DB SET Size = v.Size, LAC = v.LAC FROM (VALUES %1) AS v(ID, Size, LAC) "
                           "WHERE DB.ID = v.ID")
                .arg(values.join(u',')));
    }
}
