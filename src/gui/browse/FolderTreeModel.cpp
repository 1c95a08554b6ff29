#include "FolderTreeModel.h"
#include "ToolbarImages.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"

struct FolderTreeModel::Node
{
    qint32 id = 0;
    QString name;
    Node *parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    bool loaded = false;    // its folders are in the tree
    bool readAhead = false; // and theirs too
};

FolderTreeModel::FolderTreeModel(Catalogue &catalogue, QObject *parent)
    : QAbstractItemModel(parent)
    , m_catalogue(catalogue)
    , m_root(std::make_unique<Node>())
    , m_folderIcon(ToolbarImages::folderImage())
{
    setHost(QString());
}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::setHost(const QString &host)
{
    beginResetModel();
    m_root = std::make_unique<Node>();
    m_nodes.clear();
    m_host = host;
    m_root->loaded = m_root->readAhead = host.isEmpty();
    endResetModel();
}

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : m_root.get();
}

QModelIndex FolderTreeModel::indexOf(const Node *node) const
{
    return node == m_root.get() ? QModelIndex() : createIndex(node->row, 0, const_cast<Node *>(node));
}

qint32 FolderTreeModel::folderId(const QModelIndex &index)
{
    return index.isValid() ? index.data(IdRole).toInt() : 0;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    return createIndex(row, column, nodeOf(parent)->children[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    return child.isValid() ? indexOf(nodeOf(child)->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return false;
    const Node *node = nodeOf(parent);
    return node->loaded ? !node->children.empty() : true;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const Node *node = nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->name;
    case Qt::DecorationRole:
        return m_folderIcon;
    case IdRole:
        return node->id;
    default:
        return QVariant();
    }
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return !node->loaded || !node->readAhead;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    Node *node = nodeOf(parent);
    load({node});
    readAhead(node);
}

// A folder shown open: its folders' own folders are read, for their arrows.
void FolderTreeModel::readAhead(Node *node)
{
    if (node->readAhead)
        return;
    node->readAhead = true;
    std::vector<Node *> children;
    children.reserve(node->children.size());
    for (const auto &c : node->children)
        children.push_back(c.get());
    load(children);
}

// The folders of every node not read yet, in one query. A folder with ID 0
// holds none: its children would be the top level again.
void FolderTreeModel::load(const std::vector<Node *> &nodes)
{
    QHash<qint32, Node *> parents;
    QList<qint32> ids;
    for (Node *n : nodes) {
        if (n->loaded)
            continue;
        n->loaded = true;
        const bool root = n == m_root.get();
        if ((n->id != 0 || root) && !parents.contains(n->id)) {
            parents.insert(n->id, n);
            ids << n->id;
        }
    }
    if (ids.isEmpty())
        return;
    const QList<CatalogueQueries::Folder> folders = read(ids);
    // Each parent's folders come together.
    for (qsizetype from = 0, to = 0; from < folders.size(); from = to) {
        while (to < folders.size() && folders[to].pid == folders[from].pid)
            ++to;
        insertChildren(parents.value(folders[from].pid), folders, from, to);
    }
}

QList<CatalogueQueries::Folder> FolderTreeModel::read(const QList<qint32> &ids)
{
    try {
        return CatalogueQueries(m_catalogue.database()).subfolders(m_host, CatalogueQueries::HostMatch::Like, ids);
    } catch (const CatalogueError &e) {
        emit readFailed(e.message());
    }
    return {};
}

void FolderTreeModel::insertChildren(Node *parent, const QList<CatalogueQueries::Folder> &folders, qsizetype from,
                                     qsizetype to)
{
    if (!parent)
        return;
    const int first = int(parent->children.size());
    beginInsertRows(indexOf(parent), first, first + int(to - from) - 1);
    for (qsizetype i = from; i < to; ++i) {
        auto node = std::make_unique<Node>();
        node->id = folders[i].id;
        node->name = folders[i].name;
        node->parent = parent;
        node->row = int(parent->children.size());
        if (!m_nodes.contains(node->id))
            m_nodes.insert(node->id, node.get());
        parent->children.push_back(std::move(node));
    }
    endInsertRows();
}

// A map from ID to node: no walk over the whole tree.
QModelIndex FolderTreeModel::folderIndex(qint32 id)
{
    if (const Node *known = m_nodes.value(id))
        return indexOf(known);
    if (m_host.isEmpty() || !m_catalogue.isOpen())
        return QModelIndex();
    QList<qint32> steps;
    try {
        steps = CatalogueQueries(m_catalogue.database()).folderLineage(m_host, CatalogueQueries::HostMatch::Like, id);
    } catch (const CatalogueError &e) {
        emit readFailed(e.message());
    }
    Node *node = nullptr;
    for (qint32 step : std::as_const(steps)) {
        node = m_nodes.value(step);
        if (!node)
            return QModelIndex(); // stored after the tree was built: not in it
        load({node});
    }
    return node ? indexOf(node) : QModelIndex();
}
