#include "TTabForm.h"
#include "core/catalogue/BrowseQueries.h"
#include "core/catalogue/CatalogueError.h"
#include "CatalogueGrid.h"
#include "FolderTreeModel.h"
#include "FolderTreePanel.h"
#include "HostListBox.h"
#include "TStatsForm.h"
#include "core/scan/HostSource.h"
#include "core/base/IniFile.h"
#include "core/catalogue/LineageWalk.h"
#include "ToolbarImages.h"
#include "widgets/UiSeam.h"
#include "widgets/TSPanel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSqlRecord>
#include <QVBoxLayout>

TTabForm::TTabForm(HostSource &hosts, Catalogue &catalogue, QWidget *parent)
    : QWidget(parent)
    , m_hosts(hosts)
    , m_tab(catalogue)
    , m_folders(new FolderTreeModel(catalogue, this))
{
    resize(538, 278);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    buildLayout();
}

void TTabForm::buildLayout()
{
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    outer->addWidget(Splitter1);
    buildTreePanel();
    paRight = new QWidget(Splitter1);
    auto *right = new QVBoxLayout(paRight);
    right->setContentsMargins(0, 0, 0, 0);
    paTab = new QWidget(paRight);
    right->addWidget(paTab);
    auto *tab = new QVBoxLayout(paTab);
    tab->setContentsMargins(0, 0, 0, 0);
    tab->setSpacing(0);
    spa = new TSPanel(paTab);
    buildToolBar();
    buildGrid();
    buildStatusBar();
    tab->addWidget(spa);
    tab->addWidget(DBGrid1, 1);
    tab->addWidget(StatusBar1);
    Splitter1->addWidget(paLeft);
    Splitter1->addWidget(paRight);
    Splitter1->setSizes({146, 392});
    Splitter1->setStretchFactor(1, 1);
    buildPopupMenu();
    connect(m_tree, &FolderTreePanel::folderChosen, this, &TTabForm::TVClick);
    connect(m_tree, &FolderTreePanel::currentMoved, this, &TTabForm::followTree);
    connect(m_folders, &FolderTreeModel::readFailed, this, [](const QString &why) { UiSeam::message(why); });
    connect(DBGrid1, &QTableView::clicked, this, &TTabForm::DBGrid1CellClick);
}

void TTabForm::buildTreePanel()
{
    m_tree = new FolderTreePanel(m_folders, Splitter1);
    paLeft = m_tree;
    laHost = m_tree->laHost;
    TV = m_tree->TV;
    hostList = new HostListBox(m_tab, m_tree);
    connect(hostList, &HostListBox::hostChosen, this, &TTabForm::browseHost);
    m_tree->addAboveTree(hostList);
}

void TTabForm::buildGrid()
{
    DBGrid1 = new CatalogueGrid(paTab);
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &TTabForm::gridHeaderClicked);
}

void TTabForm::gridHeaderClicked(int column)
{
    if (!m_ds)
        return;
    const Qt::SortOrder order = m_ds->sortColumn() == column && m_ds->sortOrder() == Qt::AscendingOrder
                                    ? Qt::DescendingOrder
                                    : Qt::AscendingOrder;
    m_ds->sort(column, order);
    if (!m_ds->errorText().isEmpty())
        UiSeam::message(m_ds->errorText());
}

void TTabForm::fitColumns()
{
    QHeaderView *header = DBGrid1->horizontalHeader();
    header->setSortIndicatorShown(m_ds && m_ds->sortColumn() >= 0);
    if (m_ds && m_ds->sortColumn() >= 0)
        header->setSortIndicator(m_ds->sortColumn(), m_ds->sortOrder());
    DBGrid1->resizeColumnsToContents();
}

void TTabForm::buildStatusBar()
{
    StatusBar1 = new QStatusBar(paTab);
    StatusBar1->setSizeGripEnabled(false);
    const int widths[5] = {80, 50, 120, 50, 50};
    const char *texts[5] = {"Record Count", "", "Total Record Count", "", ""};
    for (int i = 0; i < 5; ++i) {
        panels[i] = new QLabel(QString::fromLatin1(texts[i]), StatusBar1);
        // Their fixed widths while there is room, the counts in lowered
        // panels; narrower only so the panels never keep the tree from widening.
        panels[i]->setMinimumWidth(1);
        panels[i]->setMaximumWidth(widths[i]);
        panels[i]->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        panels[i]->setAlignment((i == 0 || i == 2) ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
        if (i == 1 || i == 3)
            panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(panels[i]);
    }
}

void TTabForm::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    QAction *showPath = PopupMenu1->addAction(QStringLiteral("Show Path"), this, &TTabForm::ShowPath1Click);
    QFont def = showPath->font();
    def.setBold(true);
    showPath->setFont(def);
    PopupMenu1->setDefaultAction(showPath);
    PopupMenu1->addAction(QStringLiteral("Explorer"), this, &TTabForm::Explorer1Click);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        DBGrid1->selectRow(DBGrid1->indexAt(pos).row());
        PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos));
    });
}

QToolButton *TTabForm::toolButton(int image, const QString &tip)
{
    auto *b = new QToolButton(ToolBar1);
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(ToolbarImages::render(image, false)), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(ToolbarImages::render(image, true)), QIcon::Active);
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    b->setFixedSize(39, 38);
    b->setAutoRaise(true);
    b->setToolTip(tip);
    b->setCursor(Qt::PointingHandCursor);
    ToolBar1->addWidget(b);
    return b;
}

void TTabForm::buildToolBar()
{
    auto *lay = new QHBoxLayout(spa);
    lay->setContentsMargins(0, 0, 0, 0);
    ToolBar1 = new QToolBar(spa);
    lay->addWidget(ToolBar1);
    btnHost = toolButton(0, QStringLiteral("Select Host"));
    btnScan = toolButton(1, QStringLiteral("Scan Host"));
    ToolBar1->addSeparator();
    btnAll = toolButton(2, QStringLiteral("All Records"));
    btnFind = toolButton(3, QStringLiteral("Find"));
    btnQ = toolButton(4, QStringLiteral("Query"));
    ToolBar1->addSeparator();
    btnStats = toolButton(5, QStringLiteral("Statistics"));
    connect(btnHost, &QToolButton::clicked, this, &TTabForm::hostButtonClicked);
    connect(btnScan, &QToolButton::clicked, this, &TTabForm::scanButtonClicked);
    connect(btnAll, &QToolButton::clicked, this, &TTabForm::btnAllClick);
    connect(btnFind, &QToolButton::clicked, this, &TTabForm::findButtonClicked);
    connect(btnQ, &QToolButton::clicked, this, &TTabForm::queryButtonClicked);
    connect(btnStats, &QToolButton::clicked, this, &TTabForm::showStatistics);
}

void TTabForm::FormCreate()
{
    const QString c = m_tab.connectionName();
    q = new DataSet(c, this);
    q->setSql(BrowseQueries::folderRows());
    qLoc = new DataSet(c, this);
    qLoc->setSql(BrowseQueries::recordRow());
    qAll = new DataSet(c, this);
    qAll->setSql(BrowseQueries::allRows());
    Query = new DataSet(c, this);
    openDataSet(qAll);
    setDS(qAll);
}

bool TTabForm::openDataSet(DataSet *set)
{
    try {
        m_tab.flush();
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
    if (set->open())
        return true;
    UiSeam::message(set->errorText());
    return false;
}

void TTabForm::setDS(DataSet *set)
{
    if (m_ds)
        disconnect(m_ds, &DataSet::opened, this, &TTabForm::DSDataChange);
    m_ds = set;
    DBGrid1->setModel(set);
    connect(m_ds, &DataSet::opened, this, &TTabForm::DSDataChange);
    DSDataChange();
}

void TTabForm::DSDataChange()
{
    setCount(panels[1], m_ds ? m_ds->recordCount() : 0);
    refreshTotalCount();
    fitColumns();
}

// A count is never cut short: its panel widens to hold it.
void TTabForm::setCount(QLabel *panel, qint64 count)
{
    panel->setText(QString::number(count));
    const int needed = panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth() + 6;
    panel->setMinimumWidth(needed);
    panel->setMaximumWidth(qMax(50, needed));
}

QString TTabForm::emptyHint()
{
    return QStringLiteral("Choose File > Select Host, then Scan Host");
}

// Counted again at every change: after a scan, a DELETE or an INSERT the
// table no longer has the rows qAll had when it was opened.
void TTabForm::refreshTotalCount()
{
    if (!m_tab.isOpen())
        return;
    try {
        m_tab.flush();
        const qint64 total = m_tab.recordCount();
        setCount(panels[3], total);
        DBGrid1->setHint(total == 0 ? emptyHint() : QString());
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
}

qint32 TTabForm::StoreEntry(const FileEntry &entry, qint32 parentId)
{
    return m_tab.StoreEntry(entry, parentId, m_hosts.CurrentHost());
}

void TTabForm::ResetFolderTree()
{
    m_tree->rebuild(m_hosts.CurrentHost());
}

qint32 TTabForm::nodeId(const QModelIndex &node)
{
    return FolderTreeModel::folderId(node);
}

void TTabForm::BuildFolderTree(const QModelIndex &node)
{
    if (node.isValid()) {
        if (m_folders->canFetchMore(node))
            m_folders->fetchMore(node);
        return;
    }
    ResetFolderTree();
    refreshTotalCount(); // after start-up and every scan
}

void TTabForm::browseHost(const QString &host)
{
    m_tree->rebuild(host);
}

void TTabForm::SelectFolderNode(qint32 id)
{
    m_tree->selectFolder(id);
}

// The grid keeps its row and scroll position, where the rows still reach.
void TTabForm::refreshGrid()
{
    const QModelIndex current = DBGrid1->currentIndex();
    const int scrolled = DBGrid1->verticalScrollBar()->value();
    try {
        m_tab.flush();
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
    if (!m_ds->refresh()) {
        UiSeam::message(m_ds->errorText());
        return;
    }
    if (current.isValid() && current.row() < m_ds->rowCount())
        DBGrid1->setCurrentIndex(m_ds->index(current.row(), current.column()));
    DBGrid1->verticalScrollBar()->setValue(scrolled);
}

void TTabForm::showFolder(qint32 id)
{
    SelectFolderNode(id);
    listFolder(id);
}

void TTabForm::TVClick()
{
    const QModelIndex node = TV->currentIndex();
    if (!node.isValid())
        return;
    listFolder(nodeId(node));
}

void TTabForm::listFolder(qint32 id)
{
    q->close();
    q->setParams({id});
    openDataSet(q);
    setDS(q);
}

// The current folder, however the keys reached it, is the one listed.
void TTabForm::followTree()
{
    const QModelIndex node = TV->currentIndex();
    if (node.isValid() && (m_ds != q || q->params() != QVariantList{nodeId(node)}))
        listFolder(nodeId(node));
}

// The catalogue changed under the views (a scan, a statement, a copy): the
// tree keeps its open branches and its folder where they still exist, the
// grid reads its statement again where it only reads, in its order.
void TTabForm::refreshViews()
{
    const bool wasEmpty = !DBGrid1->hint().isEmpty();
    BuildFolderTree();
    if (wasEmpty && DBGrid1->hint().isEmpty()) {
        showFolder(0); // the first scan: its host's top folder
    } else if (m_ds && m_ds->isOpen()) {
        refreshGrid();
    }
    DSDataChange();
    if (m_stats && m_stats->isVisible())
        m_stats->reload();
}

QVariant TTabForm::cell(const QString &field) const
{
    const QModelIndex current = DBGrid1->currentIndex();
    if (!m_ds || !current.isValid())
        return QVariant();
    return m_ds->record(current.row()).value(field);
}

CatalogueRecord TTabForm::currentRecord() const
{
    CatalogueRecord r;
    r.name = cell(QStringLiteral("Name")).toString();
    r.ext = cell(QStringLiteral("ext")).toString();
    r.size = cell(QStringLiteral("Size"));
    r.host = cell(QStringLiteral("Host")).toString();
    r.attr = cell(QStringLiteral("Attr")).toInt();
    r.id = cell(QStringLiteral("ID")).toInt();
    r.pid = cell(QStringLiteral("PID")).toInt();
    return r;
}

// A row that names no stored record (a free query without ID, or a row
// deleted since) leaves the tree and the status bar as they were.
bool TTabForm::rowHasStoredId()
{
    const QModelIndex current = DBGrid1->currentIndex();
    if (!m_ds || !current.isValid() || m_ds->record(current.row()).indexOf(QStringLiteral("ID")) < 0)
        return false;
    try {
        return m_tab.recordById(cell(QStringLiteral("ID")).toInt()).has_value();
    } catch (const CatalogueError &) {
        return false; // the status bar keeps its texts; the grid shows the same rows
    }
}

void TTabForm::DBGrid1CellClick(const QModelIndex &)
{
    if (!rowHasStoredId())
        return;
    const CatalogueRecord row = currentRecord();
    SelectFolderNode(row.attr == 16 ? row.id : row.pid);
    emit recordChosen(row.id);
    if (isVisible() && TV->isEnabled())
        TV->setFocus();
}

void TTabForm::btnAllClick()
{
    qAll->close();
    openDataSet(qAll);
    setDS(qAll);
}

void TTabForm::ShowPath1Click()
{
    try {
        UiSeam::message(LineageWalk(m_tab).recordPathText(currentRecord().pid));
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
}

void TTabForm::Explorer1Click()
{
    if (!DBGrid1->currentIndex().isValid())
        return; // an empty grid names no file
    QUrl url;
    try {
        url = LineageWalk(m_tab).explorerUrl(currentRecord());
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return;
    }
    if (UiSeam::openUrl(url))
        return;
    const QString address = url.toString(QUrl::FullyEncoded);
    QGuiApplication::clipboard()->setText(address);
    UiSeam::message(QStringLiteral("No program on this computer opens ftp:// addresses.\n\n%1\n\n"
                                   "The address has been copied to the clipboard.")
                        .arg(address));
}

void TTabForm::showStatistics()
{
    const QString host = m_hosts.CurrentHost();
    if (host.isEmpty())
        return;
    if (!m_stats) {
        m_stats = new TStatsForm(m_tab, window());
        connect(m_stats, &TStatsForm::folderShown, this, &TTabForm::showFolder);
    }
    m_stats->showHost(host);
}

void TTabForm::showEvent(QShowEvent *)
{
    if (m_showHostChecked)
        laHost->setVisible(m_showHostChecked());
}

void TTabForm::LoadLayout(IniFile *settings)
{
    if (!settings)
        return;
    setLeftPanelWidth(settings->readInt(QStringLiteral("FORM"), QStringLiteral("Left Panel"), leftPanelWidth()));
}

void TTabForm::SaveLayout(IniFile *settings)
{
    if (settings)
        settings->writeInt(QStringLiteral("FORM"), QStringLiteral("Left Panel"), leftPanelWidth());
}

int TTabForm::leftPanelWidth() const
{
    return Splitter1->sizes().value(0, 146);
}

void TTabForm::setLeftPanelWidth(int width)
{
    const QList<int> sizes = Splitter1->sizes();
    const int total = qMax(sizes.value(0) + sizes.value(1), width + 1);
    Splitter1->setSizes({width, total - width});
}
