#include "HostsApi.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/ReadConnection.h"
#include "core/catalogue/SqlStatement.h"

#include <QJsonArray>
#include <QSqlError>
#include <QSqlQuery>

QJsonObject HostsApi::answer(ReadConnection &connection)
{
    const QMutexLocker lock(&m_mutex);
    if (m_age.isValid() && m_age.elapsed() < KeptMs)
        return m_kept;
    connection.startRequest(CountMs);
    const CatalogueQueries::Statement st = CatalogueQueries::hostSummary();
    QSqlQuery q = SqlStatement::run(connection.database(), st.sql, st.params);
    QJsonArray hosts;
    while (q.next())
        hosts.append(QJsonObject{{"Host", q.value(0).toString()},
                                 {"Rows", q.value(1).toLongLong()},
                                 {"TotalSize", q.value(2).toDouble()}});
    // A count stopped half way is no answer, and must not be kept as one.
    if (q.lastError().isValid())
        throw CatalogueError(q.lastError().text());
    m_kept = {{"hosts", hosts}};
    m_age.start();
    return m_kept;
}
