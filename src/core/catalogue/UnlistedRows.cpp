#include "UnlistedRows.h"
#include "SqlStatement.h"

UnlistedRows::UnlistedRows(const QSqlDatabase &db, const QString &host)
    : m_db(db)
    , m_host(host)
{
}

void UnlistedRows::add(const QList<qint32> &ids, const QByteArray &folder)
{
    for (const qint32 id : ids)
        SqlStatement::run(m_db, QStringLiteral("INSERT INTO UnlistedRow (Host, ID, Folder) VALUES (?, ?, ?)"),
                          {m_host, id, SqlStatement::bytes(folder)});
}

void UnlistedRows::forEach(const std::function<void(const QList<qint32> &, const QByteArray &)> &take)
{
    QSqlQuery q = SqlStatement::run(
        m_db, QStringLiteral("SELECT Folder, ID FROM UnlistedRow WHERE Host = ? ORDER BY Folder, ID"), {m_host});
    QList<qint32> ids;
    QByteArray folder;
    while (q.next()) {
        QByteArray next = q.value(0).toByteArray();
        if (!ids.isEmpty() && next != folder) {
            take(ids, folder);
            ids.clear();
        }
        folder = std::move(next);
        ids << q.value(1).toInt();
    }
    q.finish();
    if (!ids.isEmpty())
        take(ids, folder);
}

void UnlistedRows::clear()
{
    SqlStatement::run(m_db, QStringLiteral("DELETE FROM UnlistedRow WHERE Host = ?"), {m_host});
}
