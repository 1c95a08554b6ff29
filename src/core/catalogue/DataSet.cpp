#include "DataSet.h"
#include "CatalogueError.h"
#include "CatalogueQueries.h"
#include "SqlDialect.h"

#include <QSqlQuery>
#include <QSqlRecord>

DataSet::DataSet(const QString &connectionName, QObject *parent)
    : QSqlQueryModel(parent)
    , m_connection(connectionName)
{
}

// The rows the statement itself returns: wrapping it in a COUNT(*) would
// break on a trailing ";" or comment and count something else.
qint64 DataSet::countRows(const QSqlDatabase &db) const
{
    try {
        return CatalogueQueries(db).countRows({m_sql, m_params});
    } catch (const CatalogueError &) {
        return 0; // the statement ran; only its count is unknown
    }
}

bool DataSet::run(QSqlQuery &q, const QSqlDatabase &db) const
{
    // A statement without values (the SQL window's CREATE or VACUUM) runs as
    // typed where only some kinds can be prepared.
    if (m_params.isEmpty() && SqlDialect::runsUnprepared(db))
        return q.exec(orderedSql());
    if (!q.prepare(orderedSql()))
        return false;
    for (int i = 0; i < m_params.size(); ++i)
        q.bindValue(i, m_params[i]);
    return q.exec();
}

bool DataSet::open()
{
    return run(-1);
}

bool DataSet::run(qint64 knownCount)
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    m_error.clear();
    if (!run(q, db)) {
        m_error = q.lastError().text();
        close();
        return false;
    }
    const bool isSelect = q.isSelect();
    setQuery(std::move(q));
    m_open = true;
    m_count = !isSelect ? 0 : knownCount >= 0 ? knownCount : countRows(db);
    emit opened();
    return true;
}

void DataSet::close()
{
    reset();
    emit opened();
}

void DataSet::reset()
{
    clear();
    m_open = false;
    m_count = 0;
}

// The statement as the user wrote it stays a subquery: its own ORDER BY, a
// trailing ";" or a closing comment cannot break the outer one. Result
// columns are sorted by number, so a name given twice is no ambiguity.
QString DataSet::orderedSql() const
{
    if (m_sortColumn < 0)
        return m_sql;
    QString inner = m_sql.trimmed();
    while (inner.endsWith(u';'))
        inner = inner.chopped(1).trimmed();
    return QStringLiteral("SELECT * FROM (%1\n) AS Sorted ORDER BY %2 %3")
        .arg(inner)
        .arg(m_sortColumn + 1)
        .arg(m_sortOrder == Qt::AscendingOrder ? QLatin1String("ASC") : QLatin1String("DESC"));
}

void DataSet::sort(int column, Qt::SortOrder order)
{
    if (!m_open || column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    // The same rows in another order: counting them again would cost a
    // large result as much as the sorted first screen saves.
    // One change told to the views, not an empty grid first.
    const qint64 count = m_count;
    reset();
    run(count);
}
