#pragma once
#include "CopiedRow.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <functional>

class Catalogue;

// Copies rows of one catalogue (every host, or some) into another, the
// SQLite file and a shared PostgreSQL database either way. Rows keep their
// IDs; an ID the target holds already is drawn again, and the rows below it
// follow. Exact names and code pages come along. A host the target holds
// already is refused: copying it would store its entries twice.
class CatalogueCopy
{
public:
    static constexpr int RowsPerBatch = 1000;
    // Told the rows copied and the rows to copy, every batch and at the end.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    CatalogueCopy(Catalogue &from, Catalogue &to) : m_from(from), m_to(to) {}
    void setHosts(const QStringList &hosts) { m_hosts = hosts; }

    struct Result
    {
        qint64 rows = 0;
        qint64 redrawn = 0; // rows whose ID the target held
    };
    // One transaction in the target: a copy that fails leaves nothing
    // there, and can simply run again. Throws CatalogueError.
    Result run(const Progress &progress = {});

private:
    QStringList hostsToCopy();
    void claim(const QStringList &hosts);
    void release(const QStringList &hosts);
    QString hostFilter(const QStringList &hosts) const;
    // Returns the rows to copy.
    qint64 drawAgainTaken(const QStringList &hosts);
    QSet<qint32> takenInTarget(const QList<qint32> &ids);
    void copyRows(const QStringList &hosts, qint64 total, const Progress &progress);
    void writeRows(const QList<CopiedRow> &rows);
    void copyCodePages(const QStringList &hosts);

    Catalogue &m_from;
    Catalogue &m_to;
    QStringList m_hosts;
    QHash<qint32, qint32> m_newId; // source ID -> ID in the target, for the IDs that differ
    QSet<qint32> m_sourceIds;
    Result m_result;
};
