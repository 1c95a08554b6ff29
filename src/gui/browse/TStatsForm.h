#pragma once
#include "core/catalogue/HostStatistics.h"
#include "widgets/TTreeMap.h"

#include <QLabel>
#include <QTableWidget>
#include <QWidget>
#include <memory>

class Catalogue;
class QChartView;
class QHBoxLayout;

// "Statistics": what one host holds at a glance. Totals, the share of each
// file type in size and count, a treemap of the folders by size (a click goes
// into a folder, the path bar leads back up, a double click shows the folder
// in the browser) and the largest files.
class TStatsForm : public QWidget
{
    Q_OBJECT
public:
    TStatsForm(Catalogue &catalogue, QWidget *mainWindow);
    ~TStatsForm() override;

    // Reads the host's figures, and its last scan from the catalogue's
    // record of runs, and shows the window.
    void showHost(const QString &host);
    // The same host read again, after the catalogue changed; the window stays where it is.
    void reload();
    void enterFolder(qint32 id);
    qint32 currentFolder() const { return m_folder; }
    const HostStatistics *statistics() const { return m_stats.get(); }

    QLabel *laTotals;
    QWidget *pathBar;
    TTreeMap *treeMap;
    QChartView *chartView;
    QTableWidget *largestTable;

signals:
    // A folder to list in the browser.
    void folderShown(qint32 id);

private:
    void buildLayout();
    bool load(qint32 folder);
    void fitScreen();
    void fillTotals(const QString &lastScan);
    void fillChart();
    void fillLargest();
    void fillPath();
    QList<TTreeMap::Item> itemsOf(qint32 folder) const;

    Catalogue &m_catalogue;
    QWidget *m_mainWindow;
    std::unique_ptr<HostStatistics> m_stats;
    QString m_host;
    qint32 m_folder = 0;
    QHBoxLayout *m_pathLayout = nullptr;
};
