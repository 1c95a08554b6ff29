#pragma once
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStringList>
#include <QVariantList>

// A read-only query over the catalogue, as the grid shows it: rows are
// fetched as the view scrolls, never all at once, and the record count comes
// from the database.
class DataSet : public QSqlQueryModel
{
    Q_OBJECT
public:
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

    // False with lastError() when the engine rejects the statement.
    bool open();
    void close();
    bool isOpen() const { return m_open; }
    qint64 recordCount() const { return m_count; }
    QString errorText() const { return m_error; }

    // Runs the statement again with ORDER BY on that result column, so a
    // sorted grid still fetches only what it shows. A statement that gives no
    // rows (an UPDATE, a DELETE) is not run again. column -1: stored order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

signals:
    void opened();

private:
    // knownCount -1: counted anew.
    bool run(qint64 knownCount);
    void reset();
    qint64 countRows(const QSqlDatabase &db) const;
    bool run(QSqlQuery &q, const QSqlDatabase &db) const;
    QString orderedSql() const;

    QString m_connection;
    QString m_sql;
    QVariantList m_params;
    bool m_open = false;
    qint64 m_count = 0;
    QString m_error;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
