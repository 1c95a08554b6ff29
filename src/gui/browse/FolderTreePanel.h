#pragma once
#include <QFrame>
#include <QLabel>
#include <QList>
#include <QTreeView>

class FolderTreeModel;

// The browser's left panel: the host's caption over its folder tree. The
// tree is read a level at a time; rebuilt, it opens again the branches the
// user had open and selects the same folder, where they still exist.
class FolderTreePanel : public QFrame
{
    Q_OBJECT
public:
    FolderTreePanel(FolderTreeModel *model, QWidget *parent = nullptr);

    QLabel *laHost;
    QTreeView *TV;

    // Above the caption: the host list.
    void addAboveTree(QWidget *w);
    // The host's tree read again from the catalogue; no host: empty and disabled.
    void rebuild(const QString &host);
    // Selects the folder and opens it; the grid is not told. False when the
    // folder is not in the tree.
    bool selectFolder(qint32 id);
    // 0: none, or the top level.
    qint32 currentFolder() const;

signals:
    // A click on the tree or Return: the current folder is to be listed.
    void folderChosen();
    // A key moved the current folder (arrows, Page Down, a typed name).
    void currentMoved();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildTree();
    QList<qint32> openFolders() const;
    void readAhead(const QModelIndex &node);

    FolderTreeModel *m_folders;
    QModelIndex m_beforePress; // the current folder when the mouse went down
};
