#include "PathSearch.h"
#include "CatalogueError.h"
#include "CatalogueQueries.h"
#include "ExactNames.h"
#include "NameSearch.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>

PathSearch::PathSearch(QSqlDatabase db, FolderPaths::CodePageOf codePageOf)
    : m_db(db)
    , m_folders(db, std::move(codePageOf))
{
}

qint64 PathSearch::find(const QString &pattern, const QString &type, const QString &host, qint64 limit,
                        const OnHit &onHit)
{
    const NameSearch search(m_db);
    CatalogueQueries::Statement st = CatalogueQueries::find(pattern, type, host, &search);
    // Each row's listed bytes come with it; SQLite steps through the find
    // and the join together, so nothing is collected first.
    QString sql = QStringLiteral("SELECT d.Name, d.ext, d.Size, d.Host, d.Attr, d.ID, d.PID, %1, d.LAC FROM (%2) d "
                                 "LEFT JOIN ExactName x ON x.ID = d.ID")
                      .arg(ExactNames::sqlBytes(m_db), st.sql);
    if (limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        st.params.append(limit);
    }
    QSqlQuery q(m_db);
    // Each folder path needs a statement of its own: where a forward-only
    // result cannot stream beside it, the result comes whole before the
    // first path is resolved.
    q.setForwardOnly(SqlDialect::streamsBesideOthers(m_db));
    if (!q.prepare(sql))
        throw CatalogueError(q.lastError().text());
    for (const QVariant &v : st.params)
        q.addBindValue(v);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    qint64 told = 0;
    while (q.next()) {
        ++told;
        if (!onHit(hitAt(q)))
            break;
    }
    if (q.lastError().isValid())
        throw CatalogueError(q.lastError().text());
    return told;
}

PathSearch::Hit PathSearch::hitAt(const QSqlQuery &q)
{
    Hit hit;
    hit.row = CatalogueRecord::fromColumns(q);
    hit.lac = q.value(8).toDouble();
    const CatalogueRecord &r = hit.row;
    const QString own = ExactNames::decode(r.exact, m_folders.codePage(r.host));
    if (r.pid == 0) {
        hit.path = r.host + u'/' + own;
        return hit;
    }
    const std::optional<QString> folder = m_folders.path(r.pid);
    hit.pathKnown = folder.has_value();
    hit.path = (folder ? *folder : r.host + QStringLiteral("/?")) + u'/' + own;
    return hit;
}
