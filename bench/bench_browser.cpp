// Times the browser on a large catalogue: 10,000,000 generated rows (or as
// many as the first argument says) beside hosts of 10,000, 100,000 and
// 1,000,000 folders and one of 1,000,000 entries. Figures: finds by random 3
// to 6 letter pieces of stored names, the folder trees, the all-rows view's
// first screen with both counts, the grid sorted by size, the statistics
// window, one host's 1,000,000 rows sorted by size, name and time, and the
// find's terms together (SearchBench). The
// generated catalogue is kept in the temporary folder for the next run (see
// BrowserCatalogue).
#include "core/base/AppPaths.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/NameSearch.h"
#include "BrowserCatalogue.h"
#include "SearchBench.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TSelHost.h"
#include "browse/TStatsForm.h"

#include <QHeaderView>
#include <QSqlRecord>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {
// Wall and processor seconds: on a machine others share, the first grows
// with their load, the second hardly.
class Stopwatch
{
public:
    Stopwatch() { m_wall.start(), m_cpu = cpuNow(); }
    double wall() const { return m_wall.nsecsElapsed() / 1e9; }
    double cpu() const { return cpuNow() - m_cpu; }

private:
    static double cpuNow()
    {
        rusage use{};
        getrusage(RUSAGE_SELF, &use);
        return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    }
    QElapsedTimer m_wall;
    double m_cpu;
};

struct Timing
{
    double wall = 0, cpu = 0;
};

// Pieces of 3 to 6 letters from stored names, as %piece%.
QStringList randomPatterns(const Catalogue &cat, int count)
{
    QSqlQuery q(cat.database());
    q.prepare(QStringLiteral("SELECT Name FROM DB WHERE Host = ? AND length(Name) >= 6 LIMIT 100000"));
    q.addBindValue(QString::fromLatin1(BrowserCatalogue::BigHost));
    q.exec();
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    QRandomGenerator random(15);
    QStringList patterns;
    while (patterns.size() < count) {
        const QString name = names[random.bounded(names.size())];
        const int length = 3 + random.bounded(4);
        patterns << QLatin1Char('%') + name.mid(random.bounded(int(name.size()) - length + 1), length) + QLatin1Char('%');
    }
    return patterns;
}

// Every matching row read, as the grid and the command line read them.
double medianFindMs(const Catalogue &cat, const QStringList &patterns)
{
    const NameSearch search(cat.database());
    QList<double> times;
    for (const QString &pattern : patterns) {
        QElapsedTimer t;
        t.start();
        QSqlQuery q = search.find(pattern);
        int found = 0;
        while (q.next())
            ++found;
        times << t.nsecsElapsed() / 1e6;
        std::printf("find %s: %.1f ms, %d rows\n", qPrintable(pattern), times.last(), found);
    }
    std::sort(times.begin(), times.end());
    return (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
}

// The grid sorted by size, largest first, as two header clicks ask for it:
// the query sorts, the grid shows its first screen.
Timing timeSortBySize(TTabForm *tab, const char *what)
{
    const int size = tab->DS()->record().indexOf("Size");
    Stopwatch t;
    tab->gridHeaderClicked(size);
    tab->gridHeaderClicked(size);
    QCoreApplication::processEvents();
    const Timing seconds{t.wall(), t.cpu()};
    std::printf("%s sorted by size, twice, first screen: %.3f s, %.3f processor s (%lld rows, largest %.0f)\n", what, seconds.wall, seconds.cpu,
                tab->DS()->recordCount(), tab->DS()->record(0).value("Size").toDouble());
    return seconds;
}

// A grid of one host's 1,000,000 rows, as the SQL window gives it.
void showOneHost(TTabForm *tab)
{
    tab->Query->setSql(QStringLiteral("SELECT * FROM DB WHERE Host = '%1'").arg(BrowserCatalogue::MillionHost));
    tab->openDataSet(tab->Query);
    tab->setDS(tab->Query);
}

Timing timeSortOneHost(TTabForm *tab)
{
    showOneHost(tab);
    return timeSortBySize(tab, "one host's 1,000,000 rows");
}

// One header click on the one host's grid, from its stored order, to the
// first screen shown.
Timing timeSortOneHostBy(TTabForm *tab, const char *field)
{
    showOneHost(tab);
    const int column = tab->DS()->record().indexOf(QLatin1String(field));
    Stopwatch t;
    tab->gridHeaderClicked(column);
    QCoreApplication::processEvents();
    const Timing seconds{t.wall(), t.cpu()};
    std::printf("one host's 1,000,000 rows sorted by %s, first screen: %.3f s, %.3f processor s (%lld rows, first %s)\n",
                field, seconds.wall, seconds.cpu, tab->DS()->recordCount(),
                qPrintable(tab->DS()->record(0).value(QLatin1String(field)).toString()));
    return seconds;
}

// The statistics window of a host with 1,000,000 entries, from the click to
// the window ready with every figure.
Timing timeStatistics(HarvexApplication &app)
{
    app.SelHost->cbHost->setEditText(BrowserCatalogue::MillionHost);
    Stopwatch t;
    app.TabForm->showStatistics();
    QCoreApplication::processEvents();
    const Timing seconds{t.wall(), t.cpu()};
    std::printf("statistics of a 1,000,000-entry host: %.3f s, %.3f processor s (%lld entries)\n", seconds.wall, seconds.cpu,
                app.TabForm->statsForm()->statistics()->totals().entries);
    return seconds;
}

Timing timeTree(HarvexApplication &app, const QString &host)
{
    app.SelHost->cbHost->setEditText(host);
    Stopwatch t;
    app.TabForm->BuildFolderTree();
    QCoreApplication::processEvents();
    const Timing seconds{t.wall(), t.cpu()};
    std::printf("tree of %s: %.3f s, %.3f processor s (%d top-level nodes)\n", qPrintable(host), seconds.wall, seconds.cpu,
                app.TabForm->TV->model()->rowCount());
    return seconds;
}

Timing timeFirstScreen(HarvexApplication &app)
{
    Stopwatch t;
    app.TabForm->btnAllClick();
    QCoreApplication::processEvents();
    const Timing seconds{t.wall(), t.cpu()};
    std::printf("all rows, first screen and counts: %.3f s, %.3f processor s (%s rows)\n", seconds.wall, seconds.cpu,
                qPrintable(app.TabForm->panels[3]->text()));
    return seconds;
}

Timing timeFindDialog(HarvexApplication &app)
{
    Stopwatch t;
    app.SeekForm->edName->setText("%abc%");
    app.SeekForm->cbType->setCurrentIndex(0);
    app.SeekForm->btnOkClick();
    QCoreApplication::processEvents();
    const Timing seconds{t.wall(), t.cpu()};
    std::printf("find %%abc%% by the dialog: %.3f s, %.3f processor s (%s found)\n", seconds.wall, seconds.cpu, qPrintable(app.TabForm->panels[1]->text()));
    return seconds;
}

double timeFinds(const QString &folder)
{
    Catalogue cat;
    cat.open(folder);
    const double ms = medianFindMs(cat, randomPatterns(cat, 20));
    std::printf("find, median of 20: %.1f ms\n", ms);
    std::fflush(stdout);
    return ms;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int bigRows = argc > 1 ? QByteArray(argv[1]).toInt() : 10000000;
    double indexBuild = -1;
    const QString generated = BrowserCatalogue::prepare(bigRows, indexBuild);
    // The program's folder is new for every run; its catalogue is the kept one.
    QTemporaryDir dir;
    AppPaths::setProgramDir(dir.path());
    QFile::link(generated, AppPaths::catalogueDir());
    const double find10m = timeFinds(AppPaths::catalogueDir());
    QFile ini(AppPaths::settingsFile());
    ini.open(QIODevice::WriteOnly);
    ini.write(QByteArray("[HOSTS]\nHost Count=1\n1=") + BrowserCatalogue::TenHost + "\n");
    ini.close();
    HarvexApplication app;
    app.startUp();
    const Timing tree10k = timeTree(app, BrowserCatalogue::TenHost);
    const Timing tree100k = timeTree(app, BrowserCatalogue::HundredHost);
    const Timing firstScreen = timeFirstScreen(app);
    const Timing find = timeFindDialog(app);
    app.TabForm->btnAllClick();
    const Timing sortAll = timeSortBySize(app.TabForm, "all rows");
    const Timing sort1m = timeSortOneHost(app.TabForm);
    const Timing sortName1m = timeSortOneHostBy(app.TabForm, "Name");
    const Timing sortLac1m = timeSortOneHostBy(app.TabForm, "LAC");
    const Timing stats1m = timeStatistics(app);
    const Timing tree1m = timeTree(app, BrowserCatalogue::FolderHost);
    const SearchBench::Figures search = SearchBench::run(app);
    std::printf("{\"find_10m_ms\": %.1f, \"first_screen_10m_s\": %.3f, \"tree_1m_folders_s\": %.3f, "
                "\"stats_1m_s\": %.3f, \"sort_1m_s\": %.3f, \"first_screen_10m_cpu_s\": %.3f, "
                "\"tree_1m_folders_cpu_s\": %.3f, \"stats_1m_cpu_s\": %.3f, \"sort_1m_cpu_s\": %.3f, "
                "\"sort_all_s\": %.3f, \"tree_10k_s\": %.3f, \"tree_100k_s\": %.3f, \"find_all_rows_s\": %.3f, "
                "\"sort_name_1m_s\": %.3f, \"sort_name_1m_cpu_s\": %.3f, \"sort_lac_1m_s\": %.3f, "
                "\"sort_lac_1m_cpu_s\": %.3f, \"open_index_build_s\": %.1f, \"rows\": %d, "
                "\"search_pattern_size_type_s\": %.3f, \"search_dates_host_s\": %.3f, \"search_under_pattern_s\": %.3f, "
                "\"search_regex_s\": %.3f, \"dialog_pattern_size_type_s\": %.3f, \"dialog_dates_host_s\": %.3f, "
                "\"dialog_under_pattern_s\": %.3f, \"dialog_regex_s\": %.3f}\n",
                find10m, firstScreen.wall, tree1m.wall, stats1m.wall, sort1m.wall, firstScreen.cpu, tree1m.cpu,
                stats1m.cpu, sort1m.cpu, sortAll.wall, tree10k.wall, tree100k.wall, find.wall, sortName1m.wall,
                sortName1m.cpu, sortLac1m.wall, sortLac1m.cpu, indexBuild, bigRows + 3000000, search.patternSizeType,
                search.datesHost, search.underPattern, search.regex, search.patternSizeTypeDialog, search.datesHostDialog,
                search.underPatternDialog, search.regexDialog);
    app.shutDown();
    return 0;
}
