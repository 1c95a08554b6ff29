#include "ChangesModel.h"
#include "core/catalogue/LacTime.h"

#include <QLocale>

namespace {
QString sizeText(const QVariant &size)
{
    return size.isNull() ? QString() : QLocale().toString(size.toLongLong());
}
} // namespace

ChangesModel::ChangesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ChangesModel::load(Catalogue &catalogue, const QString &host, const QByteArray &codePage)
{
    ChangeReport report;
    report.read(catalogue, host, codePage); // throws before the model changes
    beginResetModel();
    m_report = std::move(report);
    endResetModel();
}

int ChangesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_report.lines().size());
}

int ChangesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ChangesModel::text(const ChangeReport::Line &line, int column) const
{
    switch (column) {
    case Change:
        return ScanChanges::kindText(line.kind);
    case Path:
        return line.path;
    case OldSize:
        return sizeText(line.oldSize);
    case NewSize:
        return sizeText(line.newSize);
    case OldTime:
        return LacTime::text(line.oldLac);
    case NewTime:
        return LacTime::text(line.newLac);
    }
    return QString();
}

QVariant ChangesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const ChangeReport::Line &line = m_report.lines().at(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(line, index.column());
    if (role == Qt::TextAlignmentRole && (index.column() == OldSize || index.column() == NewSize))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant ChangesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[ColumnCount] = {"Change", "Path", "Old size", "New size", "Old time", "New time"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(titles[section]);
}
