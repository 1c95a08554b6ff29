#pragma once
#include "core/catalogue/FolderPaths.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

class Catalogue;
class DuplicatesModel;

// "Find Duplicates": files that share a name and a size (or a size alone)
// across folders and hosts, largest first, each group with its copies.
class TDupesForm : public QWidget
{
    Q_OBJECT
public:
    TDupesForm(Catalogue &catalogue, FolderPaths::CodePageOf codePageOf, QWidget *parent = nullptr);

    QComboBox *cbBy;
    QLineEdit *edMinSize, *edHost;
    QPushButton *btnFind;
    QLabel *laSummary;
    QTreeView *tree;
    DuplicatesModel *model() const { return m_model; }

public slots:
    // Reads the groups the options ask for; a wrong option or an engine
    // error goes to the message seam.
    void btnFindClick();

signals:
    // A copy was double-clicked: the browser lists its folder.
    void folderShown(qint32 id);

private:
    QWidget *optionsRow();
    void openCopy(const QModelIndex &index);

    Catalogue &m_catalogue;
    FolderPaths::CodePageOf m_codePageOf;
    DuplicatesModel *m_model;
};
