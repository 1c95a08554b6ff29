#include "PendingFolders.h"
#include "CatalogueError.h"
#include "SqlStatement.h"

#include <QSqlError>
#include <algorithm>

PendingFolders::PendingFolders(const QSqlDatabase &db, const QString &host)
    : m_db(db)
    , m_host(host)
{
    QSqlQuery q = SqlStatement::run(m_db, QStringLiteral("SELECT MAX(Seq) FROM PendingFolder WHERE Host = ?"), {m_host});
    m_next = (q.next() ? q.value(0).toLongLong() : 0) + 1;
    m_add = prepared(QStringLiteral("INSERT INTO PendingFolder (Host, Seq, Path, ParentId, Fresh) VALUES (?, ?, ?, ?, ?)"));
    m_remove = prepared(QStringLiteral("DELETE FROM PendingFolder WHERE Host = ? AND Seq = ?"));
}

QSqlQuery PendingFolders::prepared(const QString &sql)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw CatalogueError(q.lastError().text());
    return q;
}

void PendingFolders::run(QSqlQuery &q)
{
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
}

qint64 PendingFolders::waiting(const QSqlDatabase &db, const QString &host)
{
    QSqlQuery q = SqlStatement::run(db, QStringLiteral("SELECT COUNT(*) FROM PendingFolder WHERE Host = ?"), {host});
    return q.next() ? q.value(0).toLongLong() : 0;
}

qint64 PendingFolders::count()
{
    return waiting(m_db, m_host);
}

qint64 PendingFolders::add(const QByteArray &path, qint32 parentId, bool fresh)
{
    const qint64 seq = m_next++;
    m_add.bindValue(0, m_host);
    m_add.bindValue(1, seq);
    m_add.bindValue(2, SqlStatement::bytes(path));
    m_add.bindValue(3, parentId);
    m_add.bindValue(4, fresh ? 1 : 0);
    run(m_add);
    return seq;
}

void PendingFolders::remove(qint64 seq)
{
    m_remove.bindValue(0, m_host);
    m_remove.bindValue(1, seq);
    run(m_remove);
}

QList<PendingFolders::Row> PendingFolders::newest(qsizetype limit, const QSet<qint64> &skip)
{
    QSqlQuery q = SqlStatement::run(m_db,
                                    QStringLiteral("SELECT Seq, Path, ParentId, Fresh FROM PendingFolder WHERE Host = ? "
                                                   "ORDER BY Seq DESC LIMIT ?"),
                                    {m_host, qint64(limit + skip.size())});
    QList<Row> rows;
    while (q.next() && rows.size() < limit) {
        const qint64 seq = q.value(0).toLongLong();
        if (!skip.contains(seq))
            rows.append(Row{seq, q.value(1).toByteArray(), q.value(2).toInt(), q.value(3).toInt() != 0});
    }
    std::reverse(rows.begin(), rows.end()); // read newest first, given oldest first
    return rows;
}

qint64 PendingFolders::find(const QByteArray &path, const QSet<qint64> &skip)
{
    QSqlQuery q = SqlStatement::run(
        m_db, QStringLiteral("SELECT Seq FROM PendingFolder WHERE Host = ? AND Path = ? ORDER BY Seq"), {m_host, SqlStatement::bytes(path)});
    while (q.next()) {
        if (const qint64 seq = q.value(0).toLongLong(); !skip.contains(seq))
            return seq;
    }
    return 0;
}

void PendingFolders::clear()
{
    SqlStatement::run(m_db, QStringLiteral("DELETE FROM PendingFolder WHERE Host = ?"), {m_host});
}

void PendingFolders::dropInsideWaiting()
{
    SqlStatement::run(m_db,
                      QStringLiteral("DELETE FROM PendingFolder WHERE Host = ? AND ParentId IN (SELECT d.ID FROM DB d "
                                     "WHERE d.PID IN (SELECT ParentId FROM PendingFolder WHERE Host = ?) AND d.Host = ?)"),
                      {m_host, m_host, m_host});
}

void PendingFolders::renumber(const QSqlDatabase &db, const QHash<qint32, qint32> &moved)
{
    for (auto it = moved.cbegin(); it != moved.cend(); ++it)
        SqlStatement::run(db, QStringLiteral("UPDATE PendingFolder SET ParentId = ? WHERE ParentId = ?"),
                          {it.value(), it.key()});
}
