#include "ChangeReport.h"
#include "Catalogue.h"
#include "LineageWalk.h"
#include "SqlStatement.h"

qint64 ChangeReport::count(ScanChanges::Kind kind) const
{
    return m_counts[int(kind)];
}

void ChangeReport::read(Catalogue &catalogue, const QString &host, const QByteArray &codePage, int limit)
{
    catalogue.flush();
    m_lines.clear();
    m_total = 0;
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    LineageWalk walk(catalogue);
    walk.setCodePage(codePage);
    const QSqlDatabase db = catalogue.database();
    for (const ScanChanges::Change &c : ScanChanges::last(catalogue, host.left(Catalogue::HostSize))) {
        ++m_total;
        ++m_counts[int(c.kind)];
        if (m_lines.size() >= limit)
            continue;
        Line line{c.kind, QString(), c.oldSize, QVariant(), c.oldLac, 0};
        if (c.kind == ScanChanges::Kind::Removed) {
            line.path = u'/' + LineageWalk::decodePath(c.path, codePage);
        } else {
            const auto row = catalogue.recordById(c.id);
            if (!row)
                continue; // removed since by hand (the SQL window)
            line.path = u'/' + LineageWalk::decodePath(walk.exactPathBytes(*row), codePage);
            QSqlQuery q = SqlStatement::run(db, QStringLiteral("SELECT Size, LAC FROM DB WHERE ID = ?"), {c.id});
            if (q.next()) {
                line.newSize = q.value(0);
                line.newLac = q.value(1).toDouble();
            }
        }
        m_lines.append(line);
    }
}
