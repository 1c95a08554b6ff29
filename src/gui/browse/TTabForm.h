#pragma once
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/DataSet.h"
#include "CatalogueGrid.h"

#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QWidget>

class FolderTreeModel;
class FolderTreePanel;
class HostListBox;
class HostSource;
class IniFile;
class TSPanel;
class TStatsForm;

// The catalogue browser: the current host's folder tree beside a read-only
// grid of whatever data set DS points at, a toolbar and record counts. The
// catalogue is the application's, open before FormCreate and after the form.
class TTabForm : public QWidget
{
    Q_OBJECT
public:
    TTabForm(HostSource &hosts, Catalogue &catalogue, QWidget *parent = nullptr);

    // Makes the data sets over the open catalogue and shows every row.
    void FormCreate();
    void setShowHostChecked(std::function<bool()> f) { m_showHostChecked = std::move(f); }

    QFrame *paLeft;
    QLabel *laHost;
    HostListBox *hostList;
    QTreeView *TV;
    QSplitter *Splitter1;
    QWidget *paRight, *paTab;
    TSPanel *spa;
    QToolBar *ToolBar1;
    QToolButton *btnHost, *btnScan, *btnAll, *btnFind, *btnQ, *btnStats;
    CatalogueGrid *DBGrid1;
    QStatusBar *StatusBar1;
    QLabel *panels[5];
    QMenu *PopupMenu1;

    FolderTreeModel *folderTree() const { return m_folders; }
    DataSet *q, *qLoc, *qAll, *Query;
    DataSet *DS() const { return m_ds; }
    void setDS(DataSet *set);

    qint32 StoreEntry(const FileEntry &entry, qint32 parentId);
    qint32 NewRecordId() { return m_tab.NewRecordId(); }

    void ResetFolderTree();
    // With no node: the current host's tree again, from its top-level
    // folders, with the branches that were open open again. With a node: its folders. Either way the folders they hold
    // are read too, so that the arrow shows where a folder can be opened;
    // deeper levels are read when a folder is expanded or a folder inside is
    // selected.
    void BuildFolderTree(const QModelIndex &node = {});
    // The tree of host, whatever host the dialog names.
    void browseHost(const QString &host);
    void SelectFolderNode(qint32 id);
    void LoadLayout(IniFile *settings);
    void SaveLayout(IniFile *settings);
    int leftPanelWidth() const;
    void setLeftPanelWidth(int width);
    // Runs a data set, reporting an engine error through the message seam.
    bool openDataSet(DataSet *set);
    // The grid's current row as a record; an empty grid reads as empty texts and 0.
    CatalogueRecord currentRecord() const;
    static qint32 nodeId(const QModelIndex &node);
    // Lists the folder in the grid and selects it in the tree (0: the top level).
    void showFolder(qint32 id);
    // The "Total Record Count" panel counts the table again; an empty
    // catalogue shows emptyHint() in the grid.
    void refreshTotalCount();
    static QString emptyHint();
    // After the catalogue changed: the tree, the grid, the counts and an open
    // statistics window show it, the selected folder kept where it still
    // exists; the first rows stored list the top folder.
    void refreshViews();
    // The statistics window for the current host, once shown.
    TStatsForm *statsForm() const { return m_stats; }

signals:
    // A grid row was clicked; the main window shows its summary.
    void recordChosen(qint32 id);
    void hostButtonClicked();
    void scanButtonClicked();
    void findButtonClicked();
    void queryButtonClicked();

public slots:
    void TVClick();
    void DBGrid1CellClick(const QModelIndex &index);
    void DSDataChange();
    void btnAllClick();
    void ShowPath1Click();
    void Explorer1Click();
    void showStatistics();
    void gridHeaderClicked(int column);

protected:
    void showEvent(QShowEvent *) override;

private:
    void buildLayout();
    void buildTreePanel();
    void buildGrid();
    void buildStatusBar();
    void buildPopupMenu();
    void listFolder(qint32 id);
    void refreshGrid();
    void followTree();
    static void setCount(QLabel *panel, qint64 count);
    void buildToolBar();
    QToolButton *toolButton(int image, const QString &tip);
    QVariant cell(const QString &field) const;
    bool rowHasStoredId();
    void fitColumns();

    HostSource &m_hosts;
    std::function<bool()> m_showHostChecked;
    Catalogue &m_tab;
    FolderTreeModel *m_folders;
    FolderTreePanel *m_tree = nullptr;
    DataSet *m_ds = nullptr;
    TStatsForm *m_stats = nullptr;
};
