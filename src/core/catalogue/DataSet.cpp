#include "DataSet.h"
#include "CatalogueError.h"
#include "CatalogueQueries.h"

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

bool DataSet::open()
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    m_error.clear();
    if (!q.prepare(m_sql)) {
        m_error = q.lastError().text();
        close();
        return false;
    }
    for (int i = 0; i < m_params.size(); ++i)
        q.bindValue(i, m_params[i]);
    if (!q.exec()) {
        m_error = q.lastError().text();
        close();
        return false;
    }
    const bool isSelect = q.isSelect();
    setQuery(std::move(q));
    m_open = true;
    m_count = isSelect ? countRows(db) : 0;
    emit opened();
    return true;
}

void DataSet::close()
{
    clear();
    m_open = false;
    m_count = 0;
    emit opened();
}
