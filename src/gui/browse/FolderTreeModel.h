#pragma once
#include "core/catalogue/CatalogueQueries.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <memory>
#include <vector>

class Catalogue;

// One host's folders as a tree, read from the catalogue a level at a time:
// a host of a million folders shows as fast as one of ten, and the model
// holds what has been opened, not the whole host. A fetch reads a folder's
// folders and their own folders too, so that the arrow shows exactly where
// a folder can be opened; a folder not read yet says it may have children.
// The host is matched with LIKE, as the browser's caption names it.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    static constexpr int IdRole = Qt::UserRole;

    explicit FolderTreeModel(Catalogue &catalogue, QObject *parent = nullptr);
    ~FolderTreeModel() override;

    // Empties the tree, to be read again for host; no host: it stays empty.
    void setHost(const QString &host);
    QString host() const { return m_host; }
    // The folder's index, with the levels from the top down to it read as
    // opening them would; invalid when id is no folder of the host or was
    // stored after its parent's level was read.
    QModelIndex folderIndex(qint32 id);
    // 0 for the top level.
    static qint32 folderId(const QModelIndex &index);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // The catalogue refused a read; the folders stay as they were read.
    void readFailed(const QString &message);

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(const Node *node) const;
    void load(const std::vector<Node *> &nodes);
    QList<CatalogueQueries::Folder> read(const QList<qint32> &ids);
    void insertChildren(Node *parent, const QList<CatalogueQueries::Folder> &folders, qsizetype from, qsizetype to);
    void readAhead(Node *node);

    Catalogue &m_catalogue;
    std::unique_ptr<Node> m_root;
    QHash<qint32, Node *> m_nodes; // the folders read so far, by ID
    QString m_host;
    QIcon m_folderIcon;
};
