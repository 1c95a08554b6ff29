#pragma once
#include "core/catalogue/ChangeReport.h"

#include <QAbstractTableModel>

class Catalogue;

// The lines of a host's last scan as a table: what changed, its path, and
// its size and time before and after.
class ChangesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Change, Path, OldSize, NewSize, OldTime, NewTime, ColumnCount };

    explicit ChangesModel(QObject *parent = nullptr);

    // Reads host's last scan. Throws CatalogueError.
    void load(Catalogue &catalogue, const QString &host, const QByteArray &codePage);
    const ChangeReport &report() const { return m_report; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const ChangeReport::Line &line, int column) const;

    ChangeReport m_report;
};
