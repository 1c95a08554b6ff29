#pragma once
#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>

// Rows that a scan's listings no longer hold, by the folder that held them,
// in table UnlistedRow: a rescan removes them only once its walk is
// complete, across every resumed part, never on doubt. Throws CatalogueError.
class UnlistedRows
{
public:
    UnlistedRows(const QSqlDatabase &db, const QString &host);

    void add(const QList<qint32> &ids, const QByteArray &folder);
    // Each folder's rows, one folder at a time.
    void forEach(const std::function<void(const QList<qint32> &ids, const QByteArray &folder)> &take);
    void clear();

private:
    QSqlDatabase m_db;
    QString m_host;
};
