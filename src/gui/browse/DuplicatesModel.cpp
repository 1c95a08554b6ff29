#include "DuplicatesModel.h"
#include "widgets/ValueText.h"

namespace {
// A copy's index holds its group's number plus one; a group's holds 0.
constexpr quintptr GroupRow = 0;

QString fileName(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}
} // namespace

DuplicatesModel::DuplicatesModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

void DuplicatesModel::load(QSqlDatabase db, const DuplicateSearch::Options &options, FolderPaths::CodePageOf codePageOf)
{
    QList<QList<PathSearch::Hit>> groups;
    DuplicateSearch(db, std::move(codePageOf)).find(options, [&groups](const QList<PathSearch::Hit> &copies) {
        groups.append(copies);
        return groups.size() < MostGroups;
    });
    beginResetModel();
    m_groups = std::move(groups);
    endResetModel();
}

const PathSearch::Hit *DuplicatesModel::copyAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == GroupRow)
        return nullptr;
    return &m_groups[int(index.internalId() - 1)][index.row()];
}

QModelIndex DuplicatesModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : GroupRow);
}

QModelIndex DuplicatesModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == GroupRow)
        return QModelIndex();
    return createIndex(int(child.internalId() - 1), 0, GroupRow);
}

int DuplicatesModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_groups.size());
    if (parent.internalId() != GroupRow || parent.column() != 0)
        return 0;
    return int(m_groups[parent.row()].size());
}

int DuplicatesModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant DuplicatesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    if (const PathSearch::Hit *copy = copyAt(index))
        return copyText(*copy, index.column());
    return groupText(m_groups[index.row()], index.column());
}

QString DuplicatesModel::groupText(const QList<PathSearch::Hit> &group, int column) const
{
    switch (column) {
    case Name:
        return fileName(group.first().path);
    case Size:
        return ValueText::exactBytes(group.first().row.size.toDouble());
    case Path:
        return QStringLiteral("%1 copies").arg(group.size());
    default:
        return QString();
    }
}

QString DuplicatesModel::copyText(const PathSearch::Hit &copy, int column)
{
    switch (column) {
    case Name:
        return fileName(copy.path);
    case Size:
        return ValueText::exactBytes(copy.row.size.toDouble());
    case Host:
        return copy.row.host;
    default:
        return copy.path;
    }
}

QVariant DuplicatesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractItemModel::headerData(section, orientation, role);
    static const char *names[ColumnCount] = {"Name", "Size", "Host", "Path"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}
