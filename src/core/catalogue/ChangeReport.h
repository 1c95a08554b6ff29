#pragma once
#include "ScanChanges.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

class Catalogue;
class QSqlDatabase;

// What a host's last scan (or an earlier run) added, changed and removed, line by line with
// paths and the values before and after, for people to read. A first scan
// adds every row: only the first `limit` lines are read in full.
class ChangeReport
{
public:
    struct Line
    {
        ScanChanges::Kind kind;
        qint32 id;
        QString path; // "/a/b/c", decoded with the host's code page
        QVariant oldSize, newSize; // null where there is none
        double oldLac = 0, newLac = 0; // 0 where there is none; added rows have neither
    };

    static constexpr int DefaultLimit = 10000;

    // run: the host's run (ScanRun's Run) whose lines are read; 0 for the
    // last scan's. Throws CatalogueError.
    void read(Catalogue &catalogue, const QString &host, const QByteArray &codePage, int limit = DefaultLimit,
              qint64 run = 0);
    const QList<Line> &lines() const { return m_lines; }
    // Every line of the scan, also those past the limit.
    qint64 total() const { return m_total; }
    qint64 count(ScanChanges::Kind kind) const;

private:
    static double newLac(const QSqlDatabase &db, qint32 id);

    QList<Line> m_lines;
    qint64 m_total = 0;
    qint64 m_counts[3] = {0, 0, 0};
};
