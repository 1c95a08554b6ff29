#include "FolderTreePanel.h"
#include "FolderTreeModel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

FolderTreePanel::FolderTreePanel(FolderTreeModel *model, QWidget *parent)
    : QFrame(parent)
    , m_folders(model)
{
    setAutoFillBackground(true);
    // The system's scroll-bar colour, shared by the tree.
    QPalette lp = palette();
    lp.setColor(QPalette::Window, lp.color(QPalette::Button));
    lp.setColor(QPalette::Base, lp.color(QPalette::Button));
    setPalette(lp);
    auto *left = new QVBoxLayout(this);
    left->setContentsMargins(5, 5, 5, 5);
    laHost = new QLabel(this);
    laHost->setFixedHeight(21);
    laHost->setAlignment(Qt::AlignCenter);
    QFont bold = laHost->font();
    bold.setBold(true);
    laHost->setFont(bold);
    laHost->setAutoFillBackground(true);
    QPalette hp = laHost->palette();
    hp.setColor(QPalette::Window, QColor(181, 201, 253));
    laHost->setPalette(hp);
    laHost->hide();
    buildTree();
    TV->setPalette(lp);
    left->addWidget(laHost);
    left->addWidget(TV);
}

void FolderTreePanel::buildTree()
{
    TV = new QTreeView(this);
    TV->setModel(m_folders);
    TV->setHeaderHidden(true);
    TV->setIndentation(19);
    TV->setFrameShape(QFrame::NoFrame);
    TV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV->setAutoFillBackground(true);
    // Hot tracking: the row under the pointer is highlighted.
    TV->setMouseTracking(true);
    TV->viewport()->setAttribute(Qt::WA_Hover);
    TV->setAllColumnsShowFocus(true);
    // Any click on the tree lists the selected folder: on a name, its arrow
    // or blank space alike.
    TV->viewport()->installEventFilter(this);
    TV->installEventFilter(this);
    connect(TV, &QTreeView::expanded, this, &FolderTreePanel::readAhead);
}

// A folder shown open (or the top level): its folders' own folders are
// read, for their arrows.
void FolderTreePanel::readAhead(const QModelIndex &node)
{
    if (m_folders->canFetchMore(node))
        m_folders->fetchMore(node);
}

qint32 FolderTreePanel::currentFolder() const
{
    return FolderTreeModel::folderId(TV->currentIndex());
}

// Top down, so that each folder's parent is open before it.
QList<qint32> FolderTreePanel::openFolders() const
{
    QList<qint32> open;
    QList<QModelIndex> level{QModelIndex()};
    while (!level.isEmpty()) {
        const QModelIndex parent = level.takeFirst();
        for (int row = 0; row < m_folders->rowCount(parent); ++row) {
            const QModelIndex child = m_folders->index(row, 0, parent);
            if (!TV->isExpanded(child))
                continue;
            open << FolderTreeModel::folderId(child);
            level << child;
        }
    }
    return open;
}

void FolderTreePanel::addAboveTree(QWidget *w)
{
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, w);
}

void FolderTreePanel::rebuild(const QString &host)
{
    const bool sameHost = host == m_folders->host();
    const QList<qint32> open = sameHost ? openFolders() : QList<qint32>();
    const qint32 current = sameHost ? currentFolder() : 0;
    TV->setUpdatesEnabled(false);
    m_folders->setHost(host);
    if (host.isEmpty()) {
        // laHost keeps its text.
        TV->setEnabled(false);
        TV->setUpdatesEnabled(true);
        return;
    }
    laHost->setText(host);
    // A host again: the tree is usable again (it stayed disabled for good once).
    TV->setEnabled(true);
    readAhead(QModelIndex());
    for (qint32 id : open)
        if (const QModelIndex node = m_folders->folderIndex(id); node.isValid())
            TV->expand(node);
    if (current != 0)
        TV->setCurrentIndex(m_folders->folderIndex(current));
    TV->setUpdatesEnabled(true);
}

bool FolderTreePanel::selectFolder(qint32 id)
{
    const QModelIndex node = m_folders->folderIndex(id);
    if (!node.isValid())
        return false;
    TV->setCurrentIndex(node);
    TV->expand(node);
    return true;
}

// A click opens the folder it selects; a click on an open folder's arrow
// closes it, and it stays closed. Keys move without opening: Right opens.
bool FolderTreePanel::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == TV->viewport() && (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease)
        && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
        if (e->type() == QEvent::MouseButtonPress) {
            m_beforePress = TV->currentIndex();
        } else {
            if (TV->currentIndex().isValid() && TV->currentIndex() != m_beforePress)
                TV->expand(TV->currentIndex());
            emit folderChosen();
        }
    }
    if (watched == TV && e->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            TV->expand(TV->currentIndex());
            emit folderChosen();
        } else {
            emit currentMoved();
        }
    }
    return QFrame::eventFilter(watched, e);
}
