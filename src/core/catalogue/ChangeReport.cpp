#include "ChangeReport.h"
#include "Catalogue.h"
#include "LineageWalk.h"
#include "SqlStatement.h"

#include <algorithm>

qint64 ChangeReport::count(ScanChanges::Kind kind) const
{
    return m_counts[int(kind)];
}

// Only a changed row's: an added row has no time to compare, and a first
// scan adds every row.
double ChangeReport::newLac(const QSqlDatabase &db, qint32 id)
{
    QSqlQuery q = SqlStatement::run(db, QStringLiteral("SELECT LAC FROM DB WHERE ID = ?"), {id});
    return q.next() ? q.value(0).toDouble() : 0;
}

void ChangeReport::read(Catalogue &catalogue, const QString &host, const QByteArray &codePage, int limit, qint64 run)
{
    catalogue.flush();
    m_lines.clear();
    m_total = 0;
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    LineageWalk walk(catalogue);
    walk.setCodePage(codePage);
    const QSqlDatabase db = catalogue.database();
    const QString stored = host.left(Catalogue::HostSize);
    const QList<ScanChanges::Change> changes = run > 0 ? ScanChanges::ofRun(catalogue, stored, run)
                                                       : ScanChanges::last(catalogue, stored);
    for (const ScanChanges::Change &c : changes) {
        ++m_total;
        ++m_counts[int(c.kind)];
        if (m_lines.size() >= limit)
            continue;
        Line line{c.kind, c.id, QString(), c.oldSize, QVariant(), c.oldLac, 0};
        if (c.kind == ScanChanges::Kind::Removed) {
            line.path = u'/' + LineageWalk::decodePath(c.path, codePage);
        } else {
            const auto row = catalogue.recordById(c.id);
            if (!row)
                continue; // removed since, by a later scan or by hand (the SQL window)
            line.path = u'/' + LineageWalk::decodePath(walk.exactPathBytes(*row), codePage);
            line.newSize = row->size;
            if (c.kind == ScanChanges::Kind::Changed)
                line.newLac = newLac(db, c.id);
        }
        m_lines.append(line);
    }
}
