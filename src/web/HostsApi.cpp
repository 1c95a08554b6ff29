#include "HostsApi.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/SqlStatement.h"

#include <QJsonArray>
#include <QSqlQuery>

QJsonObject HostsApi::answer(const QSqlDatabase &db)
{
    const QMutexLocker lock(&m_mutex);
    if (m_age.isValid() && m_age.elapsed() < KeptMs)
        return m_kept;
    const CatalogueQueries::Statement st = CatalogueQueries::hostSummary();
    QSqlQuery q = SqlStatement::run(db, st.sql, st.params);
    QJsonArray hosts;
    while (q.next())
        hosts.append(QJsonObject{{"Host", q.value(0).toString()},
                                 {"Rows", q.value(1).toLongLong()},
                                 {"TotalSize", q.value(2).toDouble()}});
    m_kept = {{"hosts", hosts}};
    m_age.start();
    return m_kept;
}
