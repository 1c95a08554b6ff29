#include "CatalogueCopy.h"
#include "SqlStatement.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "PgBatch.h"
#include "ExactNames.h"
#include "IdDraw.h"

#include <QSqlError>
#include <QSqlQuery>

CatalogueCopy::Result CatalogueCopy::run(const Progress &progress)
{
    m_from.flush();
    const QStringList hosts = hostsToCopy();
    claim(hosts);
    try {
        m_result = Result();
        const qint64 total = drawAgainTaken(hosts);
        copyRows(hosts, total, progress);
        copyCodePages(hosts);
        m_to.flush();
        if (progress)
            progress(total, total);
    } catch (const CatalogueError &) {
        release(hosts);
        throw;
    }
    release(hosts);
    return m_result;
}

QStringList CatalogueCopy::hostsToCopy()
{
    QStringList hosts = m_hosts;
    if (hosts.isEmpty()) {
        QSqlQuery q = SqlStatement::run(m_from.database(), QStringLiteral("SELECT DISTINCT Host FROM DB ORDER BY Host"));
        while (q.next())
            hosts << q.value(0).toString();
    }
    for (const QString &h : hosts) {
        if (SqlStatement::run(m_to.database(), QStringLiteral("SELECT 1 FROM DB WHERE Host = ? LIMIT 1"), {h}).next())
            throw CatalogueError(QStringLiteral("The target catalogue holds host %1 already: copying it would "
                                                "store its entries twice").arg(h));
        if (!SqlStatement::run(m_from.database(), QStringLiteral("SELECT 1 FROM DB WHERE Host = ? LIMIT 1"), {h}).next())
            throw CatalogueError(QStringLiteral("The catalogue holds no host %1").arg(h));
    }
    return hosts;
}

// No scan of a shared target stores these hosts while they are copied.
void CatalogueCopy::claim(const QStringList &hosts)
{
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        if (!m_to.lockHost(hosts[i])) {
            release(hosts.mid(0, i));
            throw CatalogueError(QStringLiteral("Host %1 is being scanned into the target catalogue").arg(hosts[i]));
        }
    }
}

void CatalogueCopy::release(const QStringList &hosts)
{
    for (const QString &h : hosts)
        m_to.unlockHost(h);
}

QString CatalogueCopy::hostFilter(const QStringList &hosts) const
{
    QStringList quoted;
    for (const QString &h : hosts)
        quoted << PgBatch::literal(h); // doubled quotes read the same in SQLite
    return QStringLiteral("d.Host IN (%1)").arg(quoted.join(u','));
}

qint64 CatalogueCopy::drawAgainTaken(const QStringList &hosts)
{
    m_newId.clear();
    m_sourceIds.clear();
    QSqlQuery q = SqlStatement::run(m_from.database(), QStringLiteral("SELECT d.ID FROM DB d WHERE %1").arg(hostFilter(hosts)));
    QList<qint32> ids;
    while (q.next())
        ids << q.value(0).toInt();
    m_sourceIds = QSet<qint32>(ids.cbegin(), ids.cend());
    IdDraw draw;
    for (qsizetype from = 0; from < ids.size(); from += RowsPerBatch) {
        for (qint32 id : takenInTarget(ids.mid(from, RowsPerBatch))) {
            qint32 fresh;
            do
                fresh = draw.next();
            while (m_sourceIds.contains(fresh) || !takenInTarget({fresh}).isEmpty());
            m_newId.insert(id, fresh);
            m_sourceIds.insert(fresh);
        }
    }
    m_result.redrawn = m_newId.size();
    return ids.size();
}

QSet<qint32> CatalogueCopy::takenInTarget(const QList<qint32> &ids)
{
    QStringList list;
    for (qint32 id : ids)
        list << QString::number(id);
    QSqlQuery q = SqlStatement::run(m_to.database(), QStringLiteral("SELECT ID FROM DB WHERE ID IN (%1)").arg(list.join(u',')));
    QSet<qint32> taken;
    while (q.next())
        taken.insert(q.value(0).toInt());
    return taken;
}

void CatalogueCopy::copyRows(const QStringList &hosts, qint64 total, const Progress &progress)
{
    QSqlQuery q = SqlStatement::run(m_from.database(),
                        QStringLiteral("SELECT d.Name, d.ext, d.Size, d.Host, d.Attr, d.LAC, d.ID, d.PID, x.Bytes "
                                       "FROM DB d LEFT JOIN ExactName x ON x.ID = d.ID WHERE %1")
                            .arg(hostFilter(hosts)));
    QList<CopiedRow> rows;
    while (q.next()) {
        const qint32 id = q.value(6).toInt();
        const qint32 pid = q.value(7).toInt();
        rows.append({q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5), m_newId.value(id, id),
                     m_newId.value(pid, pid), q.value(8)});
        if (rows.size() == RowsPerBatch) {
            writeRows(rows);
            rows.clear();
            if (progress)
                progress(m_result.rows, total);
        }
    }
    writeRows(rows);
}

void CatalogueCopy::writeRows(const QList<CopiedRow> &rows)
{
    if (rows.isEmpty())
        return;
    m_to.beginWrite();
    m_to.insertCopies(rows);
    m_result.rows += rows.size();
}

void CatalogueCopy::copyCodePages(const QStringList &hosts)
{
    QSqlQuery q = SqlStatement::run(m_from.database(),
                        QStringLiteral("SELECT d.Host, d.CodePage FROM HostCodePage d WHERE %1").arg(hostFilter(hosts)));
    m_to.beginWrite();
    while (q.next())
        SqlStatement::run(m_to.database(), ExactNames::noteSql(m_to.database()), {q.value(0), q.value(1)});
}
