#include "FoundRows.h"
#include "CatalogueError.h"
#include "ExactNames.h"
#include "PathSearch.h"

#include <QSqlDatabase>
#include <QSqlRecord>

FoundRows::FoundRows(const QString &connectionName, QObject *parent)
    : DataSet(connectionName, parent)
    , m_connection(connectionName)
{
}

FoundRows::~FoundRows() = default;

void FoundRows::search(const SearchTerms &terms, const QString &under)
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection);
    auto paths = std::make_unique<PathSearch>(db, m_codePageOf);
    const CatalogueQueries::Statement st = paths->rowsStatement(terms, under);
    setSql(QStringLiteral("SELECT d.*, %1 AS \"Path\" FROM (%2) d LEFT JOIN ExactName x ON x.ID = d.ID")
               .arg(ExactNames::sqlBytes(db), st.sql));
    setParams(st.params);
    m_paths = std::move(paths);
    m_terms = terms;
    m_under = under;
    m_failed = false;
}

QVariant FoundRows::data(const QModelIndex &index, int role) const
{
    if (!m_paths || !index.isValid() || index.column() != pathColumn() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return DataSet::data(index, role);
    return path(index.row());
}

QString FoundRows::path(int row) const
{
    const QSqlRecord r = record(row);
    PathSearch::Hit hit;
    hit.row.name = r.value(QStringLiteral("Name")).toString();
    hit.row.ext = r.value(QStringLiteral("ext")).toString();
    hit.row.host = r.value(QStringLiteral("Host")).toString();
    hit.row.pid = r.value(QStringLiteral("PID")).toInt();
    hit.row.exact = r.value(pathColumn()).toByteArray();
    try {
        m_paths->addPath(hit);
    } catch (const CatalogueError &e) {
        if (!m_failed)
            emit readFailed(e.message());
        m_failed = true;
        return QString();
    }
    return hit.path;
}

void FoundRows::sort(int column, Qt::SortOrder order)
{
    if (column != pathColumn())
        DataSet::sort(column, order);
}
