#pragma once
#include "core/catalogue/DuplicateSearch.h"

#include <QAbstractItemModel>

// Groups of files that look like copies, largest first, each a row whose
// children are its copies with their paths.
class DuplicatesModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { Name, Size, Host, Path, ColumnCount };
    // The groups read at most: on a catalogue of millions the largest
    // come first, and these are the ones people act on.
    static constexpr int MostGroups = 200;

    explicit DuplicatesModel(QObject *parent = nullptr);

    // Reads the groups. Throws CatalogueError.
    void load(QSqlDatabase db, const DuplicateSearch::Options &options, FolderPaths::CodePageOf codePageOf);
    int groupCount() const { return int(m_groups.size()); }
    // The copy a row stands for; none for a group's row.
    const PathSearch::Hit *copyAt(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString groupText(const QList<PathSearch::Hit> &group, int column) const;
    static QString copyText(const PathSearch::Hit &copy, int column);

    QList<QList<PathSearch::Hit>> m_groups;
};
