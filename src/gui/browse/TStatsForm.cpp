#include "TStatsForm.h"
#include "core/catalogue/CatalogueError.h"
#include "core/base/ActivityLog.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/LineageWalk.h"
#include "core/catalogue/ScanRuns.h"
#include "widgets/UiSeam.h"
#include "widgets/ValueText.h"
#include "widgets/WindowPlacement.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {
// Blocks inside each top block: the second level is laid out with the first,
// deeper ones only when entered.
constexpr int InnerBlocks = 40;

QString typeName(const QString &ext)
{
    return ext.isEmpty() ? QStringLiteral("(none)") : ext;
}

// In local time, as the log stamps the start of a scan; empty when none is known.
QString startText(const QDateTime &started)
{
    return started.isValid() ? ActivityLog::stampedText(QString(), started.toLocalTime()).trimmed() : QString();
}
} // namespace

TStatsForm::TStatsForm(Catalogue &catalogue, QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window)
    , m_catalogue(catalogue)
    , m_mainWindow(mainWindow)
{
    resize(900, 620);
    buildLayout();
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    connect(treeMap, &TTreeMap::blockClicked, this, &TStatsForm::enterFolder);
    connect(treeMap, &TTreeMap::blockDoubleClicked, this, &TStatsForm::folderShown);
}

TStatsForm::~TStatsForm() = default;

void TStatsForm::buildLayout()
{
    auto *v = new QVBoxLayout(this);
    laTotals = new QLabel(this);
    laTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathBar = new QWidget(this);
    m_pathLayout = new QHBoxLayout(pathBar);
    m_pathLayout->setContentsMargins(0, 0, 0, 0);
    m_pathLayout->setSpacing(0);
    treeMap = new TTreeMap(this);
    treeMap->setToolTip(QStringLiteral("Click a folder to go into it; double-click to show it in the browser"));
    chartView = new QChartView(this);
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumWidth(300);
    largestTable = new QTableWidget(0, 3, this);
    largestTable->setHorizontalHeaderLabels({QStringLiteral("Largest files"), QStringLiteral("Size"),
                                             QStringLiteral("Folder")});
    largestTable->verticalHeader()->hide();
    largestTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    largestTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    largestTable->horizontalHeader()->setStretchLastSection(true);
    auto *top = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(top);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(pathBar);
    leftLayout->addWidget(treeMap, 1);
    top->addWidget(left);
    top->addWidget(chartView);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 2);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(largestTable);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    v->addWidget(laTotals);
    v->addWidget(split, 1);
}

void TStatsForm::showHost(const QString &host)
{
    m_host = host;
    setWindowTitle(QStringLiteral("Statistics - %1").arg(host));
    if (!load(0))
        return;
    if (!isVisible()) {
        fitScreen();
        WindowPlacement::centreOn(this, m_mainWindow);
    }
    show();
    raise();
    activateWindow();
}

void TStatsForm::reload()
{
    if (!m_host.isEmpty())
        load(m_folder);
}

// The folder shown stays where it still exists; else the host's top level.
bool TStatsForm::load(qint32 folder)
{
    m_stats = std::make_unique<HostStatistics>(m_catalogue, m_host);
    QString lastScan;
    try {
        m_stats->load();
        fillLargest();
        lastScan = startText(ScanRuns(m_catalogue.database()).lastStarted(m_host));
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return false;
    }
    fillTotals(lastScan);
    fillChart();
    enterFolder(folder != 0 && m_stats->folderName(folder).isNull() ? 0 : folder);
    return true;
}

// Never larger than the screen the main window is on, its frame included.
void TStatsForm::fitScreen()
{
    const QScreen *shown = m_mainWindow ? m_mainWindow->screen() : screen();
    if (!shown)
        return;
    const QSize room = shown->availableGeometry().size() - QSize(16, 48);
    resize(size().boundedTo(room));
}

void TStatsForm::fillTotals(const QString &lastScan)
{
    const HostStatistics::Totals &t = m_stats->totals();
    laTotals->setText(QStringLiteral("<b>%1</b> &nbsp; Entries: <b>%2</b> &nbsp; Folders: <b>%3</b> &nbsp; "
                                     "Size: <b>%4</b> (%5) &nbsp; Last scan: <b>%6</b>")
                          .arg(m_host.toHtmlEscaped(), ValueText::count(t.entries), ValueText::count(t.folders),
                               ValueText::bytes(t.bytes), ValueText::exactBytes(t.bytes),
                               lastScan.isEmpty() ? QStringLiteral("not in the log") : lastScan.toHtmlEscaped()));
}

// Shares in percent, so size and count fit one axis.
void TStatsForm::fillChart()
{
    const QList<HostStatistics::TypeShare> shares = m_stats->byType(15);
    const HostStatistics::Totals &t = m_stats->totals();
    const qint64 files = t.entries - t.folders;
    auto *bySize = new QBarSet(QStringLiteral("Size %"));
    auto *byCount = new QBarSet(QStringLiteral("Files %"));
    QStringList names;
    // Bottom to top: the largest type ends up on top.
    for (auto it = shares.crbegin(); it != shares.crend(); ++it) {
        names << typeName(it->ext);
        *bySize << (t.bytes > 0 ? 100.0 * it->bytes / t.bytes : 0);
        *byCount << (files > 0 ? 100.0 * double(it->count) / double(files) : 0);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(bySize);
    series->append(byCount);
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(QStringLiteral("File types by size and count"));
    auto *types = new QBarCategoryAxis;
    types->append(names);
    types->setTruncateLabels(false); // type names are short; "..." said nothing
    chart->addAxis(types, Qt::AlignLeft);
    series->attachAxis(types);
    auto *percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setLabelFormat(QStringLiteral("%d%%"));
    chart->addAxis(percent, Qt::AlignBottom);
    series->attachAxis(percent);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(2, 2, 2, 2));
    QChart *old = chartView->chart();
    chartView->setChart(chart);
    delete old;
}

void TStatsForm::fillLargest()
{
    const QList<HostStatistics::LargeFile> files = m_stats->largest(20);
    largestTable->setRowCount(int(files.size()));
    LineageWalk walk(m_catalogue);
    for (int row = 0; row < files.size(); ++row) {
        const HostStatistics::LargeFile &f = files[row];
        const QString name = f.ext.isEmpty() ? f.name : f.name + u'.' + f.ext;
        auto *size = new QTableWidgetItem(ValueText::bytes(f.bytes));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        size->setToolTip(ValueText::exactBytes(f.bytes));
        QString folder;
        try {
            folder = walk.recordSummary(f.id).path;
        } catch (const CatalogueError &) {
            folder = QStringLiteral("?"); // a parent deleted in the SQL window
        }
        largestTable->setItem(row, 0, new QTableWidgetItem(name));
        largestTable->setItem(row, 1, size);
        largestTable->setItem(row, 2, new QTableWidgetItem(folder));
    }
    largestTable->resizeColumnsToContents();
}

QList<TTreeMap::Item> TStatsForm::itemsOf(qint32 folder) const
{
    QList<TTreeMap::Item> items;
    for (const HostStatistics::Block &b : m_stats->children(folder)) {
        TTreeMap::Item item{b.id, b.name, ValueText::bytes(b.bytes), b.bytes, {}};
        if (b.isFolder()) {
            const QList<HostStatistics::Block> inner = m_stats->children(b.id);
            for (qsizetype i = 0; i < inner.size() && i < InnerBlocks; ++i)
                item.children.append({inner[i].id, inner[i].name, QString(), inner[i].bytes, {}});
        }
        items.append(item);
    }
    return items;
}

void TStatsForm::enterFolder(qint32 id)
{
    if (!m_stats)
        return;
    m_folder = id;
    treeMap->setItems(itemsOf(id));
    fillPath();
}

// The host, then each folder down to the current one; each button goes there.
void TStatsForm::fillPath()
{
    while (QLayoutItem *item = m_pathLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    QList<qint32> chain;
    for (qint32 id = m_folder; id != 0 && chain.size() < 256; id = m_stats->parentOf(id))
        chain.prepend(id);
    chain.prepend(0);
    for (qint32 id : chain) {
        auto *b = new QToolButton(pathBar);
        b->setText(id == 0 ? m_host : m_stats->folderName(id));
        b->setAutoRaise(true);
        b->setEnabled(id != m_folder || id == 0);
        connect(b, &QToolButton::clicked, this, [this, id] { enterFolder(id); });
        if (id != 0)
            m_pathLayout->addWidget(new QLabel(QStringLiteral(">"), pathBar));
        m_pathLayout->addWidget(b);
    }
    m_pathLayout->addStretch(1);
}
