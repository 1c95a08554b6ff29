// Times the browser on a large catalogue: the folder tree of hosts with
// 10,000 and 100,000 folders, the all-rows view with both counts, a name
// find over 1,000,000 rows, those rows sorted by size, and the statistics
// window of a host of 1,000,000 entries.
#include "core/base/AppPaths.h"
#include "core/catalogue/Catalogue.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TSelHost.h"
#include "browse/TStatsForm.h"

#include <QHeaderView>
#include <QSqlRecord>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
// Folders in levels of ten per parent, then files until the host has its rows.
void fillHost(Catalogue &cat, const QString &host, int folders, int rows)
{
    QList<qint32> level{0};
    int made = 0, stored = 0;
    while (made < folders) {
        QList<qint32> next;
        for (qint32 parent : level) {
            for (int i = 0; i < 10 && made < folders; ++i, ++made) {
                FindData e;
                e.setName(QStringLiteral("dir%1").arg(made));
                e.dwFileAttributes = FindData::AttrDirectory;
                next << cat.StoreEntry(e, parent, host);
                ++stored;
            }
        }
        level = next;
    }
    for (int i = 0; stored < rows; ++i, ++stored) {
        FindData e;
        e.setName(QStringLiteral("file%1.dat").arg(i));
        e.dwFileAttributes = FindData::AttrNormal;
        e.setSize(quint64(i));
        cat.StoreEntry(e, level[i % level.size()], host);
    }
    cat.flush();
}

// All 1,000,000 rows sorted by size, largest first, as a header click asks
// for it: the query sorts, the grid shows its first screen.
double timeSortBySize(HarvexApplication &app)
{
    TTabForm *tab = app.TabForm;
    tab->btnAllClick();
    const int size = tab->DS()->record().indexOf("Size");
    QElapsedTimer t;
    t.start();
    tab->gridHeaderClicked(size);
    tab->gridHeaderClicked(size);
    QCoreApplication::processEvents();
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("sort 1,000,000 rows by size, twice, first screen: %.3f s (largest %.0f)\n", seconds,
                tab->DS()->record(0).value("Size").toDouble());
    return seconds;
}

// The statistics window of a host with 1,000,000 entries, from the click to
// the window ready with every figure.
double timeStatistics(HarvexApplication &app)
{
    fillHost(app.TabForm->Tab(), "million.example", 100000, 1000000);
    app.SelHost->cbHost->setEditText("million.example");
    QElapsedTimer t;
    t.start();
    app.TabForm->showStatistics();
    QCoreApplication::processEvents();
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("statistics of a 1,000,000-entry host: %.3f s (%lld entries)\n", seconds,
                app.TabForm->statsForm()->statistics()->totals().entries);
    return seconds;
}

double timeTree(HarvexApplication &app, const QString &host)
{
    app.SelHost->cbHost->setEditText(host);
    QElapsedTimer t;
    t.start();
    app.TabForm->BuildFolderTree(nullptr);
    QCoreApplication::processEvents();
    return t.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    AppPaths::setProgramDir(dir.path());
    {
        Catalogue cat;
        cat.open(AppPaths::catalogueDir());
        fillHost(cat, "ten.example", 10000, 100000);
        fillHost(cat, "hundred.example", 100000, 900000);
    }
    QFile ini(AppPaths::settingsFile());
    ini.open(QIODevice::WriteOnly);
    ini.write("[HOSTS]\nHost Count=1\n1=ten.example\n");
    ini.close();
    HarvexApplication app;
    app.startUp();
    const double tree10k = timeTree(app, "ten.example");
    std::printf("tree of 10,000 folders: %.3f s (%d top-level nodes)\n", tree10k, app.TabForm->TV->topLevelItemCount());
    const double tree100k = timeTree(app, "hundred.example");
    std::printf("tree of 100,000 folders: %.3f s\n", tree100k);
    QElapsedTimer t;
    t.start();
    app.TabForm->btnAllClick();
    QCoreApplication::processEvents();
    const double allRows = t.nsecsElapsed() / 1e9;
    std::printf("all rows, first screen and counts: %.3f s (%s rows)\n", allRows,
                qPrintable(app.TabForm->panels[3]->text()));
    t.restart();
    app.SeekForm->edName->setText("%abc%");
    app.SeekForm->cbType->setCurrentIndex(0);
    app.SeekForm->btnOkClick();
    QCoreApplication::processEvents();
    const double find = t.nsecsElapsed() / 1e9;
    std::printf("find %%abc%% on 1,000,000 rows: %.3f s (%s found)\n", find, qPrintable(app.TabForm->panels[1]->text()));
    const double sort1m = timeSortBySize(app);
    const double stats1m = timeStatistics(app);
    std::printf("{\"tree_10k_s\": %.3f, \"tree_100k_s\": %.3f, \"all_rows_first_screen_s\": %.3f, \"find_1m_s\": %.3f, "
                "\"sort_1m_s\": %.3f, \"stats_1m_s\": %.3f}\n",
                tree10k, tree100k, allRows, find, sort1m, stats1m);
    app.shutDown();
    return 0;
}
