#pragma once
#include <QSqlError>
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

    void setSql(const QStringList &lines) { m_sql = lines.join(u'\n'); }
    void setSql(const QString &text) { m_sql = text; }
    QString sql() const { return m_sql; }
    void setParams(const QVariantList &params) { m_params = params; }

    // False with lastError() when the engine rejects the statement.
    bool open();
    void close();
    bool isOpen() const { return m_open; }
    qint64 recordCount() const { return m_count; }
    QString errorText() const { return m_error; }

signals:
    void opened();

private:
    qint64 countRows(const QSqlDatabase &db) const;

    QString m_connection;
    QString m_sql;
    QVariantList m_params;
    bool m_open = false;
    qint64 m_count = 0;
    QString m_error;
};
