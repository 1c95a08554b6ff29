#pragma once
#include <QLabel>
#include <QTableView>
#include <QWidget>

class Catalogue;
class ChangesModel;

// The window of what a host's last scan added, changed and removed.
class TChangesForm : public QWidget
{
    Q_OBJECT
public:
    TChangesForm(Catalogue &catalogue, QWidget *parent = nullptr);

    QLabel *laSummary;
    QTableView *grid;
    ChangesModel *model() const { return m_model; }

    // Reads and shows host's last scan; an engine error goes to the message seam.
    void showHost(const QString &host, const QByteArray &codePage);
    QString host() const { return m_host; }

private:
    QString summary() const;

    Catalogue &m_catalogue;
    ChangesModel *m_model;
    QString m_host;
};
