#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// The folders a scan of one host found and has not stored a listing of yet,
// in table PendingFolder. Written in the catalogue's open transaction, with
// the rows that found them, so that what a crash keeps of the rows and of
// this table always agree: the next scan resumes from here. Seq orders them
// as found. Throws CatalogueError.
class PendingFolders
{
public:
    struct Row
    {
        qint64 seq = 0;
        QByteArray path; // listed bytes joined by "/"; the top is ""
        qint32 parentId = 0;
        bool fresh = false;
    };

    PendingFolders(const QSqlDatabase &db, const QString &host);

    // How many folders an interrupted scan of host left: what the next scan
    // carries on from. host as stored.
    static qint64 waiting(const QSqlDatabase &db, const QString &host);

    qint64 count();
    // The Seq the next folder added gets: those below were added before this object.
    qint64 nextSeq() const { return m_next; }
    // Returns the folder's Seq.
    qint64 add(const QByteArray &path, qint32 parentId, bool fresh);
    void remove(qint64 seq);
    // The newest waiting folders, at most limit, oldest first; none of skip.
    QList<Row> newest(qsizetype limit, const QSet<qint64> &skip);
    // The Seq of the first folder waiting under path that is not in skip; 0 when none.
    qint64 find(const QByteArray &path, const QSet<qint64> &skip);
    void clear();
    // Folders an interrupted listing left waiting: a commit can fall inside a
    // long listing, so its folder still waits with some of its subfolders.
    // Listed again, the folder finds those again; the earlier ones go.
    void dropInsideWaiting();

    // A PostgreSQL batch drew some row IDs again: folders waiting under the
    // old IDs follow them.
    static void renumber(const QSqlDatabase &db, const QHash<qint32, qint32> &moved);

private:
    QSqlQuery prepared(const QString &sql);
    void run(QSqlQuery &q);

    QSqlDatabase m_db;
    QString m_host;
    qint64 m_next = 0;
    QSqlQuery m_add;
    QSqlQuery m_remove;
};
