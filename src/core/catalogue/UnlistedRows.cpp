#include "UnlistedRows.h"
#include "CatalogueError.h"
#include "SqlStatement.h"

#include <QSqlError>

UnlistedRows::UnlistedRows(const QSqlDatabase &db, const QString &host)
    : m_db(db)
    , m_host(host)
{
}

void UnlistedRows::add(const QList<qint32> &ids, const QByteArray &folder)
{
    // Prepared once for the folder: a rescan of a pruned tree lists thousands.
    QSqlQuery q(m_db);
    if (!q.prepare(QStringLiteral("INSERT INTO UnlistedRow (Host, ID, Folder) VALUES (?, ?, ?)")))
        throw CatalogueError(q.lastError().text());
    q.bindValue(0, m_host);
    q.bindValue(2, SqlStatement::bytes(folder));
    for (const qint32 id : ids) {
        q.bindValue(1, id);
        if (!q.exec())
            throw CatalogueError(q.lastError().text());
    }
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
