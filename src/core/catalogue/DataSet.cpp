#include "DataSet.h"

#include <QSqlQuery>
#include <QSqlRecord>

DataSet::DataSet(const QString &connectionName, QObject *parent)
    : QSqlQueryModel(parent)
    , m_connection(connectionName)
{
}

qint64 DataSet::countRows(const QSqlDatabase &db) const
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(m_sql));
    for (int i = 0; i < m_params.size(); ++i)
        q.bindValue(i, m_params[i]);
    if (!q.exec() || !q.next())
        return 0;
    return q.value(0).toLongLong();
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
