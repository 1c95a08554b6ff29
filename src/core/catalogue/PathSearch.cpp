#include "PathSearch.h"
#include "CatalogueError.h"
#include "CatalogueQueries.h"
#include "EntryName.h"
#include "ExactNames.h"
#include "NameSearch.h"
#include "SearchOrder.h"
#include "SearchStatement.h"
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
    return tell(CatalogueQueries::find(pattern, type, host, &search), SearchOrder(), limit, onHit);
}

qint64 PathSearch::find(const SearchTerms &terms, const QString &under, qint64 limit, const OnHit &onHit)
{
    return tell(statement(terms, under), SearchOrder(), limit, onHit);
}

qint64 PathSearch::find(const SearchTerms &terms, const QString &under, const SearchOrder &order, qint64 limit,
                        const OnHit &onHit)
{
    return tell(statement(terms, under), order, limit, onHit);
}

// IDs are unique across hosts; only the top level (PID 0) needs the host.
std::optional<qint64> PathSearch::list(const QString &path, const SearchOrder &order, qint64 limit, const OnHit &onHit)
{
    const QString host = path.section(u'/', 0, 0, QString::SectionSkipEmpty);
    if (host.isEmpty())
        return std::nullopt;
    const bool top = !path.section(u'/', 1, -1, QString::SectionSkipEmpty).size();
    const std::optional<qint32> folder = top ? std::optional<qint32>(0) : folderAt(path);
    if (!folder)
        return std::nullopt;
    return tell({QStringLiteral("SELECT * FROM DB WHERE PID = ? AND Host = ?"), {*folder, host}}, order, limit, onHit);
}

qint64 PathSearch::count(const SearchTerms &terms, const QString &under)
{
    return CatalogueQueries(m_db).countRows(statement(terms, under));
}

// A folder that is not there finds nothing, as an empty folder would; the
// path is no SQL, only compared with the paths the catalogue gives.
CatalogueQueries::Statement PathSearch::statement(const SearchTerms &terms, const QString &under)
{
    if (const QString why = SearchStatement::problem(terms); !why.isEmpty())
        throw CatalogueError(why);
    const NameSearch search = names();
    if (under.isEmpty())
        return SearchStatement::build(terms, search);
    const std::optional<qint32> folder = folderAt(under);
    CatalogueQueries::Statement st = SearchStatement::build(terms, search, folder.value_or(0));
    if (!folder)
        st.sql += QStringLiteral(" AND 1 = 0");
    return st;
}

// Whether the catalogue has the name index is asked once for the object's
// life: a search kept for many finds asks it once.
NameSearch PathSearch::names()
{
    if (!m_hasNameIndex)
        m_hasNameIndex = NameSearch(m_db).hasIndex();
    return NameSearch(m_db, *m_hasNameIndex);
}

std::optional<qint32> PathSearch::folderAt(const QString &path)
{
    QStringList steps = path.split(u'/', Qt::SkipEmptyParts);
    if (steps.size() < 2)
        return std::nullopt;
    const QString host = steps.takeFirst();
    const CatalogueQueries queries(m_db);
    qint32 parent = 0;
    QString reached = host;
    for (const QString &step : std::as_const(steps)) {
        reached += u'/' + step;
        const QList<CatalogueQueries::Folder> level = queries.subfolders(host, CatalogueQueries::HostMatch::Exact, {parent});
        const auto it = std::find_if(level.begin(), level.end(), [&](const CatalogueQueries::Folder &f) {
            return m_folders.path(f.id) == reached;
        });
        if (it == level.end())
            return std::nullopt;
        parent = it->id;
    }
    return parent;
}

// Each row's listed bytes come with it; SQLite steps through the find and
// the join together, so nothing is collected first.
qint64 PathSearch::tell(CatalogueQueries::Statement st, const SearchOrder &order, qint64 limit, const OnHit &onHit)
{
    const CatalogueQueries::Statement start = order.start(m_db);
    QString sql = QStringLiteral("SELECT d.Name, d.ext, d.Size, d.Host, d.Attr, d.ID, d.PID, %1, d.LAC FROM (%2) d "
                                 "LEFT JOIN ExactName x ON x.ID = d.ID WHERE %3%4")
                      .arg(ExactNames::sqlBytes(m_db), st.sql, start.sql, order.orderBy(m_db));
    st.params += start.params;
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

QByteArray PathSearch::url(const Hit &hit)
{
    const std::optional<QByteArray> folder = hit.row.pid == 0 ? QByteArray() : m_folders.urlPath(hit.row.pid);
    if (!folder)
        return QByteArray();
    const bool isFolder = hit.row.ext == EntryName::DirMarker;
    return "ftp://" + hit.row.host.toUtf8() + *folder + '/' + hit.row.exact.toPercentEncoding() + (isFolder ? "/" : "");
}

PathSearch::Hit PathSearch::hitAt(const QSqlQuery &q)
{
    Hit hit = rowFrom(q);
    addPath(hit);
    return hit;
}

PathSearch::Hit PathSearch::rowFrom(const QSqlQuery &q)
{
    Hit hit;
    hit.row = CatalogueRecord::fromColumns(q);
    hit.lac = q.value(8).toDouble();
    return hit;
}

void PathSearch::addPath(Hit &hit)
{
    const CatalogueRecord &r = hit.row;
    const QString own = ExactNames::decode(r.exact, m_folders.codePage(r.host));
    if (r.pid == 0) {
        hit.path = r.host + u'/' + own;
        return;
    }
    const std::optional<QString> folder = m_folders.path(r.pid);
    hit.pathKnown = folder.has_value();
    hit.path = (folder ? *folder : r.host + QStringLiteral("/?")) + u'/' + own;
}
