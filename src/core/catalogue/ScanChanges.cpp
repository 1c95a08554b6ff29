#include "ScanChanges.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "ExactNames.h"
#include "ScanRunSchema.h"
#include "SqlDialect.h"
#include "SqlStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
void exec(QSqlQuery &q)
{
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
}
} // namespace

ScanChanges::ScanChanges(Catalogue &catalogue)
    : m_catalogue(catalogue)
{
}

QString ScanChanges::kindText(Kind k)
{
    switch (k) {
    case Kind::Added:
        return QStringLiteral("added");
    case Kind::Changed:
        return QStringLiteral("changed");
    case Kind::Removed:
        break;
    }
    return QStringLiteral("removed");
}

// The lines of the part carried on, when the host's latest run is that
// part, become this scan's again: together they are one scan.
void ScanChanges::carryOn(const QString &host)
{
    restart(host);
    m_catalogue.beginWrite();
    SqlStatement::run(m_catalogue.database(),
                      QStringLiteral("UPDATE ScanChange SET Run = NULL WHERE Host = ? AND Run = "
                                     "(SELECT MAX(Run) FROM ScanRun WHERE Host = ?) AND EXISTS (SELECT 1 FROM ScanRun r "
                                     "WHERE r.Host = ? AND r.Run = ScanChange.Run AND r.Result IN (%1))")
                          .arg(QStringLiteral("'cancelled', 'lost connection'")),
                      {host, host, host});
}

void ScanChanges::restart(const QString &host)
{
    m_host = host;
    m_hostUtf8 = host.toUtf8();
    m_added = m_changed = m_removed = 0;
    m_changedLine.reset(); // a scan may run on a catalogue opened anew
}

void ScanChanges::begin(const QString &host)
{
    restart(host);
    m_catalogue.beginWrite();
    // A scan that failed may have left lines kept back: they go too.
    m_catalogue.writeKeptChanges();
    QSqlQuery q(m_catalogue.database());
    q.prepare(QStringLiteral("DELETE FROM ScanChange WHERE Host = ? AND Run IS NULL"));
    q.addBindValue(host);
    exec(q);
}

void ScanChanges::closeRun(const QSqlDatabase &db, const QString &host, qint64 run, int keepRuns)
{
    SqlStatement::run(db, QStringLiteral("UPDATE ScanChange SET Run = ? WHERE Host = ? AND Run IS NULL"), {run, host});
    SqlStatement::run(db, QStringLiteral("DELETE FROM ScanChange WHERE Host = ? AND Run <= ?"),
                      {host, run - qMax(1, keepRuns)});
}

void ScanChanges::added(qint32 id)
{
    ++m_added;
    log(Kind::Added, id);
}

// Written at once, not kept back with the added lines: only rows already
// stored change, and a rescan changes few of them.
void ScanChanges::changed(qint32 id, std::optional<qint64> oldSize, double oldLac)
{
    ++m_changed;
    if (!m_changedLine) {
        addOldValueColumns();
        m_changedLine.emplace(m_catalogue.database());
        if (!m_changedLine->prepare(QStringLiteral("INSERT INTO ScanChange (Host, Change, ID, OldSize, OldLAC) "
                                                   "VALUES (?, 'changed', ?, ?, ?)")))
            throw CatalogueError(m_changedLine->lastError().text());
    }
    QSqlQuery &q = *m_changedLine;
    q.bindValue(0, m_host);
    q.bindValue(1, id);
    q.bindValue(2, oldSize ? QVariant(double(*oldSize)) : QVariant(QMetaType(QMetaType::Double)));
    q.bindValue(3, oldLac);
    exec(q);
}

bool ScanChanges::hasOldValues(const QSqlDatabase &db)
{
    // PostgreSQL keeps unquoted names in lower case; SQLite matches either.
    return db.record(QStringLiteral("scanchange")).contains(QStringLiteral("oldsize"));
}

void ScanChanges::addOldValueColumns()
{
    const QSqlDatabase db = m_catalogue.database();
    if (hasOldValues(db))
        return;
    for (const char *column : {"OldSize", "OldLAC"}) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("ALTER TABLE ScanChange ADD COLUMN %1 DOUBLE PRECISION").arg(QLatin1String(column))))
            throw CatalogueError(q.lastError().text());
    }
}

void ScanChanges::log(Kind k, qint32 id)
{
    static const QByteArray texts[] = {"added", "changed"};
    const QByteArray &text = texts[k == Kind::Added ? 0 : 1];
    // Every new row of a first scan passes here.
    m_catalogue.logChange(m_host, m_hostUtf8, text, id);
}

qint64 ScanChanges::removeSubtrees(const QList<qint32> &ids, const QByteArray &folder)
{
    if (ids.isEmpty())
        return 0;
    m_catalogue.commitGathered(); // the walk below must see every row the scan gathered
    m_catalogue.beginWrite();
    m_catalogue.writeKeptChanges(); // the lines of removed rows come after them
    addOldValueColumns();
    const QSqlDatabase db = m_catalogue.database();
    const QString doomed = SqlDialect::tempTable(db, QStringLiteral("Doomed"));
    const QString blob = SqlDialect::bytesType(db);
    QSqlQuery q(db);
    q.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS Doomed (ID INTEGER PRIMARY KEY, Path %1)").arg(blob));
    q.exec(QStringLiteral("DELETE FROM %1").arg(doomed));
    // Each step casts to bytes: SQLite's || gives text, and the path must
    // keep the listed bytes as they are.
    const QString walk = QStringLiteral("WITH RECURSIVE sub(ID, Path) AS ("
                                        " SELECT d.ID, COALESCE(CAST(? AS %2), CAST('' AS %2)) || %1 FROM DB d"
                                        " LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.ID = ?"
                                        " UNION ALL SELECT d.ID, sub.Path || CAST('/' AS %2) || %1 FROM sub"
                                        " JOIN DB d ON d.PID = sub.ID LEFT JOIN ExactName x ON x.ID = d.ID)"
                                        " SELECT ID, CAST(Path AS %2) FROM sub")
                             .arg(ExactNames::sqlBytes(db), blob);
    q.prepare(SqlDialect::insertOrIgnore(db, doomed + QStringLiteral(" (ID, Path)"), walk, QStringLiteral("ID")));
    const QByteArray prefix = folder.isEmpty() ? QByteArray() : folder + '/';
    for (qint32 id : ids) {
        q.bindValue(0, prefix);
        q.bindValue(1, id);
        exec(q);
    }
    for (const QString &sql : {QStringLiteral("INSERT INTO ScanChange (Host, Change, ID, Path, OldSize, OldLAC) "
                                              "SELECT ?, 'removed', r.ID, r.Path, d.Size, d.LAC FROM %1 r "
                                              "LEFT JOIN DB d ON d.ID = r.ID"),
                               QStringLiteral("DELETE FROM DB WHERE ID IN (SELECT ID FROM %1)"),
                               QStringLiteral("DELETE FROM ExactName WHERE ID IN (SELECT ID FROM %1)")}) {
        q.prepare(sql.arg(doomed));
        if (sql.contains(u'?'))
            q.addBindValue(m_host);
        exec(q);
    }
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM %1").arg(doomed));
    exec(q);
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    m_removed += n;
    return n;
}

// The latest run that walked the host, even one that changed nothing; a
// scan that runs (or ended unrecorded) has lines without a run.
QList<ScanChanges::Change> ScanChanges::last(Catalogue &catalogue, const QString &host)
{
    const QSqlDatabase db = catalogue.database();
    // A file opened read-only may be older than the runs: all its lines are the last scan's.
    if (!ScanRunSchema::hasColumn(db, QStringLiteral("ScanChange"), QStringLiteral("Run"))
        || SqlStatement::run(db, QStringLiteral("SELECT 1 FROM ScanChange WHERE Host = ? AND Run IS NULL"), {host}).next())
        return read(catalogue, host, std::nullopt);
    QSqlQuery q = SqlStatement::run(db, QStringLiteral("SELECT MAX(Run) FROM ScanRun WHERE Host = ? AND "
                                                       "(Result IS NULL OR Result IN ('', 'complete', 'cancelled', "
                                                       "'lost connection'))"),
                                    {host});
    return q.next() && !q.value(0).isNull() ? read(catalogue, host, q.value(0).toLongLong()) : QList<Change>();
}

QList<ScanChanges::Change> ScanChanges::ofRun(Catalogue &catalogue, const QString &host, qint64 run)
{
    return read(catalogue, host, run);
}

QList<ScanChanges::Change> ScanChanges::read(Catalogue &catalogue, const QString &host, std::optional<qint64> run)
{
    QSqlQuery q(catalogue.database());
    q.setForwardOnly(true);
    const QSqlDatabase db = catalogue.database();
    const QString old = hasOldValues(db) ? QStringLiteral("OldSize, OldLAC") : QStringLiteral("NULL, NULL");
    q.prepare(QStringLiteral("SELECT Change, ID, Path, %1 FROM ScanChange WHERE Host = ? AND %3 ORDER BY %2")
                  .arg(old, SqlDialect::changeOrder(db), run ? QStringLiteral("Run = ?")
                       : ScanRunSchema::hasColumn(db, QStringLiteral("ScanChange"), QStringLiteral("Run"))
                       ? QStringLiteral("Run IS NULL")
                       : QStringLiteral("1 = 1")));
    q.addBindValue(host);
    if (run)
        q.addBindValue(*run);
    exec(q);
    QList<Change> changes;
    while (q.next()) {
        const QString kind = q.value(0).toString();
        const Kind k = kind == u"added" ? Kind::Added : kind == u"changed" ? Kind::Changed : Kind::Removed;
        changes.append({k, q.value(1).toInt(), q.value(2).toByteArray(), q.value(3), q.value(4).toDouble()});
    }
    return changes;
}
