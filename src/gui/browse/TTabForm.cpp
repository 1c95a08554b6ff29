#include "TTabForm.h"
#include "core/catalogue/BrowseQueries.h"
#include "core/catalogue/CatalogueError.h"
#include "FolderTreeModel.h"
#include "GridDelegate.h"
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
#include <QMouseEvent>
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
    // Any click on the tree lists the selected folder: on a name, its arrow
    // or blank space alike.
    TV->viewport()->installEventFilter(this);
    connect(TV->selectionModel(), &QItemSelectionModel::currentChanged, this, &TTabForm::autoExpand);
    connect(TV, &QTreeView::expanded, this, &TTabForm::readAhead);
    connect(m_folders, &FolderTreeModel::readFailed, this, [](const QString &why) { UiSeam::message(why); });
    connect(DBGrid1, &QTableView::clicked, this, &TTabForm::DBGrid1CellClick);
}

void TTabForm::buildTreePanel()
{
    paLeft = new QFrame(Splitter1);
    paLeft->setAutoFillBackground(true);
    // The system's scroll-bar colour, shared by the tree.
    QPalette lp = paLeft->palette();
    lp.setColor(QPalette::Window, lp.color(QPalette::Button));
    lp.setColor(QPalette::Base, lp.color(QPalette::Button));
    paLeft->setPalette(lp);
    auto *left = new QVBoxLayout(paLeft);
    left->setContentsMargins(5, 5, 5, 5);
    laHost = new QLabel(paLeft);
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
    TV = new QTreeView(paLeft);
    TV->setModel(m_folders);
    TV->setHeaderHidden(true);
    TV->setIndentation(19);
    TV->setFrameShape(QFrame::NoFrame);
    TV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV->setPalette(lp);
    TV->setAutoFillBackground(true);
    // Hot tracking: the row under the pointer is highlighted.
    TV->setMouseTracking(true);
    TV->viewport()->setAttribute(Qt::WA_Hover);
    TV->setAllColumnsShowFocus(true);
    hostList = new HostListBox(m_tab, paLeft);
    connect(hostList, &HostListBox::hostChosen, this, &TTabForm::browseHost);
    left->addWidget(hostList);
    left->addWidget(laHost);
    left->addWidget(TV);
}

void TTabForm::buildGrid()
{
    DBGrid1 = new QTableView(paTab);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setItemDelegate(new GridDelegate(DBGrid1));
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette gp = DBGrid1->palette();
    gp.setColor(QPalette::Base, QColor(242, 254, 255));
    DBGrid1->setPalette(gp);
    // Sorted by the query, not in the view: a click on a header reruns it.
    QHeaderView *header = DBGrid1->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, &TTabForm::gridHeaderClicked);
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
    panels[1]->setText(QString::number(m_ds ? m_ds->recordCount() : 0));
    refreshTotalCount();
    fitColumns();
}

// Counted again at every change: after a scan, a DELETE or an INSERT the
// table no longer has the rows qAll had when it was opened.
void TTabForm::refreshTotalCount()
{
    if (!m_tab.isOpen())
        return;
    try {
        m_tab.flush();
        panels[3]->setText(QString::number(m_tab.recordCount()));
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
    const QString host = m_hosts.CurrentHost();
    m_folders->setHost(host);
    if (host.isEmpty()) {
        TV->setEnabled(false);
        return;
    }
    laHost->setText(host);
    // A host again: the tree is usable again (it stayed disabled for good once).
    TV->setEnabled(true);
}

qint32 TTabForm::nodeId(const QModelIndex &node)
{
    return FolderTreeModel::folderId(node);
}

void TTabForm::BuildFolderTree(const QModelIndex &node)
{
    TV->setUpdatesEnabled(false);
    if (!node.isValid())
        ResetFolderTree();
    // No host: the tree stays empty, whatever host the caption still names.
    readAhead(node);
    TV->setUpdatesEnabled(true);
    if (!node.isValid())
        refreshTotalCount(); // after start-up and every scan
}

void TTabForm::browseHost(const QString &host)
{
    m_folders->setHost(host);
    laHost->setText(host);
    TV->setEnabled(!host.isEmpty());
    readAhead({});
}

// A folder shown open (or the top level): its folders' own folders are
// read, for their arrows.
void TTabForm::readAhead(const QModelIndex &node)
{
    if (m_folders->canFetchMore(node))
        m_folders->fetchMore(node);
}

void TTabForm::SelectFolderNode(qint32 id)
{
    const QModelIndex node = m_folders->folderIndex(id);
    if (!node.isValid())
        return;
    // Not blocked: the auto-expand follows. Only a click lists a folder.
    TV->setCurrentIndex(node);
}

void TTabForm::showFolder(qint32 id)
{
    SelectFolderNode(id);
    q->close();
    q->setParams({id});
    openDataSet(q);
    setDS(q);
}

bool TTabForm::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == TV->viewport() && e->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton)
        TVClick();
    return QWidget::eventFilter(watched, e);
}

// The selected folder opens; the branch selected before closes unless it
// holds the new selection.
void TTabForm::autoExpand(const QModelIndex &current, const QModelIndex &previous)
{
    for (QModelIndex p = previous; p.isValid(); p = p.parent()) {
        bool holdsCurrent = false;
        for (QModelIndex c = current; c.isValid() && !holdsCurrent; c = c.parent())
            holdsCurrent = c == p;
        if (holdsCurrent)
            break;
        TV->collapse(p);
    }
    if (current.isValid())
        TV->expand(current);
}

void TTabForm::TVClick()
{
    const QModelIndex node = TV->currentIndex();
    if (!node.isValid())
        return;
    q->close();
    q->setParams({nodeId(node)});
    openDataSet(q);
    setDS(q);
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
