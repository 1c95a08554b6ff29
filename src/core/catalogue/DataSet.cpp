#include "DataSet.h"
#include "CatalogueError.h"
#include "CatalogueQueries.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <climits>

DataSet::DataSet(const QString &connectionName, QObject *parent)
    : QAbstractTableModel(parent)
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

bool DataSet::readsOnly(const QSqlDatabase &db) const
{
    try {
        return CatalogueQueries(db).isReadOnly(m_sql);
    } catch (const CatalogueError &) {
        return false; // running it gives the engine's own message
    }
}

// A statement without values (the SQL window's CREATE or VACUUM) runs as
// typed where only some kinds can be prepared.
bool DataSet::exec(QSqlQuery &q, const QSqlDatabase &db, const QString &sql, const QVariantList &params)
{
    if (params.isEmpty() && SqlDialect::runsUnprepared(db))
        return q.exec(sql);
    if (!q.prepare(sql))
        return false;
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params[i]);
    return q.exec();
}

// limit -1: every row.
DataSet::Page DataSet::readRows(QSqlQuery &q, int limit)
{
    Page rows;
    const int fields = q.record().count();
    while ((limit < 0 || rows.size() < limit) && q.next()) {
        Row row;
        row.reserve(fields);
        for (int i = 0; i < fields; ++i)
            row.append(q.value(i));
        rows.append(std::move(row));
    }
    return rows;
}

bool DataSet::open()
{
    return run(-1);
}

// A statement that reads runs as its first page; one that writes runs once,
// as typed, and keeps every row it returned (a RETURNING clause).
std::optional<DataSet::Result> DataSet::execute(qint64 knownCount)
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    m_error.clear();
    const bool readOnly = readsOnly(db);
    Result r;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    r.wraps = readOnly && exec(q, db, pagedSql(0), m_params);
    if (!r.wraps) {
        q = QSqlQuery(db);
        q.setForwardOnly(true);
        if (!exec(q, db, orderedSql(), m_params)) {
            m_error = q.lastError().text();
            return std::nullopt;
        }
    }
    if (!q.isSelect())
        return r;
    r.fields = q.record();
    r.rereadable = readOnly;
    r.first = readRows(q, readOnly ? PageRows : -1);
    q.finish();
    r.count = r.first.size();
    if (readOnly && r.first.size() == PageRows)
        r.count = qMax(r.count, knownCount >= 0 ? knownCount : countRows(db));
    return r;
}

void DataSet::apply(const std::optional<Result> &result)
{
    clearRows();
    m_open = result.has_value();
    m_fields = result ? result->fields : QSqlRecord();
    m_rereadable = result && result->rereadable;
    m_wraps = !result || result->wraps;
    m_count = result ? result->count : 0;
    if (result)
        keepPage(0, result->first);
}

bool DataSet::run(qint64 knownCount)
{
    beginResetModel();
    const std::optional<Result> result = execute(knownCount);
    apply(result);
    endResetModel();
    emit opened();
    return result.has_value();
}

namespace {
QStringList fieldNames(const QSqlRecord &r)
{
    QStringList names;
    for (int i = 0; i < r.count(); ++i)
        names << r.fieldName(i);
    return names;
}
} // namespace

// The same fields and count: the cells are told changed, so the views keep
// their current row and scroll position. Rows that came or went may be
// anywhere in the order: the model is reset.
bool DataSet::refresh()
{
    if (!m_open || !m_rereadable)
        return m_open;
    const std::optional<Result> result = execute(-1);
    if (!result || fieldNames(result->fields) != fieldNames(m_fields) || result->count != m_count)
        return run(-1);
    apply(result);
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit opened();
    return true;
}

void DataSet::close()
{
    beginResetModel();
    apply(std::nullopt);
    endResetModel();
    emit opened();
}

void DataSet::clearRows()
{
    m_pages.clear();
    m_pageOrder.clear();
}

QSqlRecord DataSet::record(int row) const
{
    QSqlRecord r = m_fields;
    if (const Row *values = rowAt(row))
        for (int i = 0; i < values->size() && i < r.count(); ++i)
            r.setValue(i, values->at(i));
    return r;
}

int DataSet::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(qMin<qint64>(m_count, INT_MAX));
}

int DataSet::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_fields.count();
}

QVariant DataSet::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const Row *row = rowAt(index.row());
    return row && index.column() < row->size() ? row->at(index.column()) : QVariant();
}

QVariant DataSet::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_fields.count())
        return m_fields.fieldName(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

// A statement that ran once keeps all its rows in page 0.
const DataSet::Row *DataSet::rowAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    const int page = m_rereadable ? row / PageRows : 0;
    const int at = m_rereadable ? row % PageRows : row;
    if (m_pages.contains(page)) {
        m_pageOrder.removeOne(page);
        m_pageOrder.append(page);
    } else {
        keepPage(page, fetchPage(page));
    }
    const Page &rows = m_pages[page];
    return at < rows.size() ? &rows[at] : nullptr;
}

void DataSet::keepPage(int page, const Page &rows) const
{
    while (m_pageOrder.size() >= PagesKept)
        m_pages.remove(m_pageOrder.takeFirst());
    m_pages.insert(page, rows);
    m_pageOrder.append(page);
}

// Run, read and finished here: the page's read transaction ends with it.
DataSet::Page DataSet::fetchPage(int page) const
{
    if (!m_rereadable)
        return {};
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!exec(q, db, m_wraps ? pagedSql(page) : orderedSql(), m_params)) {
        m_error = q.lastError().text();
        return {};
    }
    if (!m_wraps)
        for (qint64 skip = qint64(page) * PageRows; skip > 0 && q.next(); --skip) {
        }
    Page rows = readRows(q, PageRows);
    q.finish();
    return rows;
}

QString DataSet::ownSql() const
{
    QString own = m_sql.trimmed();
    while (own.endsWith(u';'))
        own = own.chopped(1).trimmed();
    return own;
}

// Result columns are sorted by number, so a name given twice is no ambiguity.
QString DataSet::orderClause() const
{
    if (m_sortColumn < 0)
        return QString();
    return QStringLiteral(" ORDER BY %1 %2")
        .arg(m_sortColumn + 1)
        .arg(m_sortOrder == Qt::AscendingOrder ? QLatin1String("ASC") : QLatin1String("DESC"));
}

// The statement as the user wrote it stays a subquery: its own ORDER BY, a
// trailing ";" or a closing comment cannot break the outer one.
QString DataSet::orderedSql() const
{
    if (m_sortColumn < 0)
        return m_sql;
    return QStringLiteral("SELECT * FROM (%1\n) AS Sorted%2").arg(ownSql(), orderClause());
}

// LIMIT and OFFSET as numbers in the text: the statement's own values keep
// their places, named or not. With a sort, LIMIT lets the engine read the
// first rows through an index of that column rather than sort every row.
QString DataSet::pagedSql(int page) const
{
    return QStringLiteral("SELECT * FROM (%1\n) AS Paged%2 LIMIT %3 OFFSET %4")
        .arg(ownSql(), orderClause())
        .arg(PageRows)
        .arg(qint64(page) * PageRows);
}

void DataSet::sort(int column, Qt::SortOrder order)
{
    if (!m_open || !m_rereadable || column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    // The same rows in another order: counting them again would cost a
    // large result as much as the sorted first screen saves.
    run(m_count);
}
