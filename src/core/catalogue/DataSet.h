#pragma once
#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QStringList>
#include <QVariantList>
#include <optional>

class QSqlDatabase;
class QSqlQuery;

// A read-only query over the catalogue, as the grid shows it. The record
// count comes from the database and is the row count, so the scroll bar
// covers every row; rows are read a page at a time as the view asks for
// them, each page by a query of its own that is finished before it returns.
// No statement, and so no read transaction, stays open between fetches: the
// catalogue's log is checkpointed whatever the window shows, and the next
// fetch sees what a scan has committed since.
class DataSet : public QAbstractTableModel
{
    Q_OBJECT
public:
    // 256 rows fill a few screens; 16 pages kept bound the memory to a few
    // thousand rows whatever the result's size.
    static constexpr int PageRows = 256;
    static constexpr int PagesKept = 16;

    explicit DataSet(const QString &connectionName, QObject *parent = nullptr);

    // A new statement starts in its own order.
    void setSql(const QStringList &lines) { setSql(lines.join(u'\n')); }
    void setSql(const QString &text)
    {
        m_sql = text;
        m_sortColumn = -1;
    }
    QString sql() const { return m_sql; }
    void setParams(const QVariantList &params) { m_params = params; }
    QVariantList params() const { return m_params; }

    // False with errorText() when the engine rejects the statement.
    bool open();
    void close();
    bool isOpen() const { return m_open; }
    qint64 recordCount() const { return m_count; }
    QString errorText() const { return m_error; }
    // True for a statement that gives rows (a SELECT), not an UPDATE or a DELETE.
    bool returnsRows() const { return !m_fields.isEmpty(); }
    // Runs a statement that only reads again, in its order, counting anew:
    // the rows as the catalogue holds them now. A reset when the count
    // changed, else every cell changed. A statement that writes is never run
    // twice. False with errorText() when it fails.
    bool refresh();

    // The result's field names; with a row, its values too (empty when out of range).
    QSqlRecord record() const { return m_fields; }
    QSqlRecord record(int row) const;

    // Runs the statement again with ORDER BY on that result column, so a
    // sorted grid still reads only what it shows. A statement that gives no
    // rows (an UPDATE, a DELETE) is not run again. column -1: stored order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // Every row is counted in from the start: there is never more to fetch.
    bool canFetchMore(const QModelIndex &parent = {}) const override { Q_UNUSED(parent) return false; }
    void fetchMore(const QModelIndex &parent = {}) override { Q_UNUSED(parent) }
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void opened();

private:
    using Row = QVariantList;
    using Page = QList<Row>;
    // One run of the statement: its fields, its first page and its count.
    struct Result
    {
        QSqlRecord fields;
        bool rereadable = false;
        bool wraps = true;
        Page first;
        qint64 count = 0;
    };
    // knownCount -1: counted anew.
    bool run(qint64 knownCount);
    std::optional<Result> execute(qint64 knownCount);
    void apply(const std::optional<Result> &result);
    void clearRows();
    bool readsOnly(const QSqlDatabase &db) const;
    qint64 countRows(const QSqlDatabase &db) const;
    static bool exec(QSqlQuery &q, const QSqlDatabase &db, const QString &sql, const QVariantList &params);
    static Page readRows(QSqlQuery &q, int limit);
    const Row *rowAt(int row) const;
    Page fetchPage(int page) const;
    void keepPage(int page, const Page &rows) const;
    QString ownSql() const;
    QString orderClause() const;
    QString orderedSql() const;
    QString pagedSql(int page) const;

    QString m_connection;
    QString m_sql;
    QVariantList m_params;
    bool m_open = false;
    // A read-only statement that can be run again for each page; any other
    // keeps the rows its one run gave.
    bool m_rereadable = false;
    // Paging wraps the statement in a subquery; one that cannot be one
    // (PRAGMA, EXPLAIN) runs again as typed, its first rows stepped over.
    bool m_wraps = true;
    qint64 m_count = 0;
    QSqlRecord m_fields;
    mutable QString m_error;
    // Filled as the view asks, within a const data(); the least recently
    // read page goes first.
    mutable QHash<int, Page> m_pages;
    mutable QList<int> m_pageOrder;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
