#include "DuplicateSearch.h"
#include "CatalogueError.h"
#include "ExactNames.h"
#include "SqlDialect.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace {
// Catalogues made before keep Size as a double, new ones as an integer:
// integers compare exactly.
bool sameSize(const QVariant &a, const QVariant &b)
{
    return a.typeId() == b.typeId() ? a == b : a.toDouble() == b.toDouble();
}
} // namespace

DuplicateSearch::DuplicateSearch(QSqlDatabase db, FolderPaths::CodePageOf codePageOf)
    : m_db(db)
    , m_paths(db, std::move(codePageOf))
{
}

qint64 DuplicateSearch::find(const Options &options, const OnGroup &onGroup)
{
    // Descending along DB_Size; a row's bytes come with it, as find's do.
    QString sql = QStringLiteral("SELECT d.Name, d.ext, d.Size, d.Host, d.Attr, d.ID, d.PID, %1, d.LAC FROM DB d "
                                 "LEFT JOIN ExactName x ON x.ID = d.ID WHERE d.Size >= ? AND d.Attr <> 16")
                      .arg(ExactNames::sqlBytes(m_db));
    QVariantList values{qMax<qint64>(0, options.minSize)};
    if (!options.host.isEmpty()) {
        sql += QStringLiteral(" AND d.Host = ?");
        values << options.host;
    }
    if (options.below) {
        sql += QStringLiteral(" AND d.Size < ?");
        values << *options.below;
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(SqlDialect::streamsBesideOthers(m_db));
    if (!q.prepare(sql + QStringLiteral(" ORDER BY d.Size DESC")))
        throw CatalogueError(q.lastError().text());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
    qint64 told = 0;
    QList<PathSearch::Hit> ofSize;
    while (q.next()) {
        // Paths are looked up only for the copies told: most rows have none.
        PathSearch::Hit hit = PathSearch::rowFrom(q);
        if (!ofSize.isEmpty() && !sameSize(hit.row.size, ofSize.first().row.size)) {
            if (!tellSize(ofSize, options.key, onGroup, told))
                return told;
            ofSize.clear();
        }
        ofSize.append(std::move(hit));
    }
    if (q.lastError().isValid())
        throw CatalogueError(q.lastError().text());
    tellSize(ofSize, options.key, onGroup, told);
    return told;
}

bool DuplicateSearch::tellGroup(QList<PathSearch::Hit> copies, const OnGroup &onGroup, qint64 &told)
{
    for (PathSearch::Hit &hit : copies)
        m_paths.addPath(hit);
    ++told;
    return onGroup(copies);
}

// Names compare as listed, byte for byte: "Disc.iso" and "disc.iso" may be
// different files on a server that tells case.
bool DuplicateSearch::tellSize(const QList<PathSearch::Hit> &rows, Key key, const OnGroup &onGroup, qint64 &told)
{
    if (rows.size() < 2)
        return true;
    if (key == Key::Size)
        return tellGroup(rows, onGroup, told);
    QHash<QByteArray, QList<PathSearch::Hit>> byName;
    QList<QByteArray> order; // groups in the order their first copy came
    for (const PathSearch::Hit &hit : rows) {
        auto &group = byName[hit.row.exact];
        if (group.isEmpty())
            order << hit.row.exact;
        group << hit;
    }
    for (const QByteArray &name : std::as_const(order)) {
        const QList<PathSearch::Hit> &group = byName[name];
        if (group.size() >= 2 && !tellGroup(group, onGroup, told))
            return false;
    }
    return true;
}
