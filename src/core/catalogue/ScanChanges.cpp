#include "ScanChanges.h"
#include "Catalogue.h"
#include "CatalogueError.h"
#include "ExactNames.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>

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

QStringList ScanChanges::schema()
{
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS ScanChange (Host TEXT, Change TEXT, ID INTEGER, Path BLOB)")};
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

void ScanChanges::begin(const QString &host)
{
    m_host = host;
    m_hostUtf8 = host.toUtf8();
    m_added = m_changed = m_removed = 0;
    m_catalogue.beginWrite();
    // A scan that failed may have left lines kept back: they go too.
    m_catalogue.writeKeptChanges();
    QSqlQuery q(m_catalogue.database());
    q.prepare(QStringLiteral("DELETE FROM ScanChange WHERE Host = ?"));
    q.addBindValue(host);
    exec(q);
}

void ScanChanges::added(qint32 id)
{
    ++m_added;
    log(Kind::Added, id);
}

void ScanChanges::changed(qint32 id)
{
    ++m_changed;
    log(Kind::Changed, id);
}

void ScanChanges::log(Kind k, qint32 id)
{
    static const QByteArray texts[] = {"added", "changed"};
    const QByteArray &text = texts[k == Kind::Added ? 0 : 1];
    if (m_catalogue.isPostgres()) {
        m_catalogue.logChange(m_host, QString::fromLatin1(text), id);
        return;
    }
    // Every new row of a first scan passes here.
    m_catalogue.keepChange(m_hostUtf8, text, id);
}

qint64 ScanChanges::removeSubtrees(const QList<qint32> &ids, const QByteArray &folder)
{
    if (ids.isEmpty())
        return 0;
    if (m_catalogue.isPostgres())
        m_catalogue.flush(); // the walk below must see every row the scan gathered
    m_catalogue.beginWrite();
    m_catalogue.writeKeptChanges(); // the lines of removed rows come after them
    const QSqlDatabase db = m_catalogue.database();
    QSqlQuery q(db);
    q.exec(SqlDialect::pick(db, QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS Doomed (ID INTEGER PRIMARY KEY, Path BLOB)"),
                            QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS Doomed (ID INTEGER PRIMARY KEY, Path BYTEA)")));
    q.exec(SqlDialect::pick(db, QStringLiteral("DELETE FROM temp.Doomed"), QStringLiteral("DELETE FROM pg_temp.Doomed")));
    const QString bytes = ExactNames::sqlBytes(db);
    q.prepare(SqlDialect::pick(
        db,
        QStringLiteral("INSERT OR IGNORE INTO temp.Doomed (ID, Path) "
                       "WITH RECURSIVE sub(ID, Path) AS ("
                       " SELECT d.ID, CAST(COALESCE(?, '') AS BLOB) || %1 FROM DB d LEFT JOIN ExactName x ON x.ID = d.ID"
                       " WHERE d.ID = ?"
                       " UNION ALL SELECT d.ID, sub.Path || '/' || %1 FROM sub JOIN DB d ON d.PID = sub.ID"
                       " LEFT JOIN ExactName x ON x.ID = d.ID)"
                       " SELECT ID, CAST(Path AS BLOB) FROM sub"),
        QStringLiteral("INSERT INTO pg_temp.Doomed (ID, Path) "
                       "WITH RECURSIVE sub(ID, Path) AS ("
                       " SELECT d.ID, COALESCE(CAST(? AS BYTEA), CAST('' AS BYTEA)) || %1 FROM DB d"
                       " LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.ID = ?"
                       " UNION ALL SELECT d.ID, sub.Path || CAST('/' AS BYTEA) || %1 FROM sub JOIN DB d ON d.PID = sub.ID"
                       " LEFT JOIN ExactName x ON x.ID = d.ID)"
                       " SELECT ID, Path FROM sub ON CONFLICT (ID) DO NOTHING"))
                  .arg(bytes));
    const QByteArray prefix = folder.isEmpty() ? QByteArray() : folder + '/';
    for (qint32 id : ids) {
        q.bindValue(0, prefix);
        q.bindValue(1, id);
        exec(q);
    }
    for (const QString &sql : {QStringLiteral("INSERT INTO ScanChange (Host, Change, ID, Path) "
                                              "SELECT ?, 'removed', ID, Path FROM temp.Doomed"),
                               QStringLiteral("DELETE FROM DB WHERE ID IN (SELECT ID FROM temp.Doomed)"),
                               QStringLiteral("DELETE FROM ExactName WHERE ID IN (SELECT ID FROM temp.Doomed)")}) {
        q.prepare(SqlDialect::isPostgres(db) ? QString(sql).replace(QLatin1String("temp.Doomed"), QLatin1String("pg_temp.Doomed"))
                                             : sql);
        if (sql.contains(u'?'))
            q.addBindValue(m_host);
        exec(q);
    }
    q.prepare(SqlDialect::pick(db, QStringLiteral("SELECT COUNT(*) FROM temp.Doomed"),
                               QStringLiteral("SELECT COUNT(*) FROM pg_temp.Doomed")));
    exec(q);
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    m_removed += n;
    return n;
}

QList<ScanChanges::Change> ScanChanges::last(Catalogue &catalogue, const QString &host)
{
    QSqlQuery q(catalogue.database());
    q.setForwardOnly(true);
    q.prepare(SqlDialect::pick(catalogue.database(),
                               QStringLiteral("SELECT Change, ID, Path FROM ScanChange WHERE Host = ? ORDER BY rowid"),
                               QStringLiteral("SELECT Change, ID, Path FROM ScanChange WHERE Host = ? ORDER BY Seq")));
    q.addBindValue(host);
    exec(q);
    QList<Change> changes;
    while (q.next()) {
        const QString kind = q.value(0).toString();
        const Kind k = kind == u"added" ? Kind::Added : kind == u"changed" ? Kind::Changed : Kind::Removed;
        changes.append({k, q.value(1).toInt(), q.value(2).toByteArray()});
    }
    return changes;
}
