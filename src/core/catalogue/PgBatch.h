#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

class IdDraw;

// The store's rows for a PostgreSQL catalogue, gathered and sent as
// multi-row INSERTs inside the writer's open transaction, so a scan pays the
// network's round trip per batch rather than per entry. IDs are drawn when a
// row is added; the unique index on ID tells, at send(), which ones another
// writer holds already: those rows get a new ID, and their children in the
// batch follow it.
class PgBatch
{
public:
    static constexpr int RowsPerStatement = 1000;

    struct Row
    {
        qint32 id;
        qint32 pid;
        qint64 size;
        QString name, ext, host;
        double lac;
        qint32 attr;
        QString folded; // the name as finds compare it (PgFoldedNames)
    };

    explicit PgBatch(const QSqlDatabase &db) : m_db(db) {}
    void setDatabase(const QSqlDatabase &db) { m_db = db; }

    // Draws the row's ID, unique within the batch; returns it.
    qint32 add(Row row, IdDraw &ids);
    void addExact(qint32 id, const QByteArray &bytes);
    void addChange(const QString &host, const QString &change, qint32 id);
    void addUpdate(qint32 id, qint64 size, double lac);
    bool isEmpty() const { return m_rows.isEmpty() && m_exact.isEmpty() && m_changes.isEmpty() && m_updates.isEmpty(); }
    qsizetype rowCount() const { return m_rows.size(); }
    void clear();

    // Sends everything gathered; returns the IDs drawn again, old to new.
    // Throws CatalogueError.
    QHash<qint32, qint32> send();

    // A value as a PostgreSQL literal.
    static QString literal(const QString &text);
    static QString literal(double value);
    static QString literal(const QByteArray &bytes);

private:
    QSet<qint32> insertRows(const QList<Row> &rows);
    void redraw(QList<Row> &missing, QHash<qint32, qint32> &moved);
    void followMoved(const QHash<qint32, qint32> &moved);
    void sendFolded(const QHash<qint32, qint32> &moved);
    void sendExact();
    void sendChanges();
    void sendUpdates();
    void run(const QString &sql);

    QSqlDatabase m_db;
    QList<Row> m_rows;
    QSet<qint32> m_ids;
    struct Exact
    {
        qint32 id;
        QByteArray bytes;
    };
    QList<Exact> m_exact;
    struct Change
    {
        QString host, change;
        qint32 id;
    };
    QList<Change> m_changes;
    struct Update
    {
        qint32 id;
        qint64 size;
        double lac;
    };
    QList<Update> m_updates;
};
