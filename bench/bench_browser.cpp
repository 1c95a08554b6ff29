// Times the browser on a large catalogue: the folder tree of hosts with
// 10,000 and 100,000 folders, the all-rows view with both counts, a name
// find, all rows sorted by size, and the statistics window of a host of
// 1,000,000 entries; with 10,000,000 generated rows underneath (or as many as
// the first argument says), the name index's build on open and finds by
// random 3 to 6 letter pieces of stored names.
#include "core/base/AppPaths.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/NameSearch.h"
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

// Rows as an old catalogue holds them, written by SQL in one go (storing them
// one by one would take most of an hour): folders of ten entries, names of 4
// to 14 random letters and digits, IDs spread over the whole range.
void generateRows(const QString &folder, int rows)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generate"));
        db.setDatabaseName(Catalogue::fileIn(folder));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA page_size=4096"));
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS DB (Name VARCHAR(80), ext VARCHAR(5), Size DOUBLE, "
                              "Host VARCHAR(255), Attr INTEGER, LAC DOUBLE, ID INTEGER, PID INTEGER)"));
        QStringList letters;
        for (int i = 0; i < 14; ++i)
            letters << QStringLiteral("substr('abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789', "
                                      "1 + abs(random() % 62), 1)");
        const QString id = QStringLiteral("((%1 * 2654435761) % 4294967296 - 2147483648)");
        q.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                              "INSERT INTO DB SELECT substr(%2, 1, 4 + abs(random() % 11)), "
                              "CASE WHEN i % 10 = 1 THEN '<DIR>' ELSE 'dat' END, i * 100, 'generated.example', "
                              "CASE WHEN i % 10 = 1 THEN 16 ELSE 128 END, 0, %3, "
                              "CASE WHEN i <= 10 THEN 0 ELSE %4 END FROM n WHERE %3 <> 0")
                   .arg(rows)
                   .arg(letters.join(QStringLiteral(" || ")), id.arg(QStringLiteral("i")),
                        id.arg(QStringLiteral("((i / 10) * 10 + 1)"))));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("generate"));
}

// Pieces of 3 to 6 letters from stored names, as %piece%.
QStringList randomPatterns(const Catalogue &cat, int count)
{
    QSqlQuery q(cat.database());
    q.exec(QStringLiteral("SELECT Name FROM DB WHERE Host = 'generated.example' AND length(Name) >= 6 LIMIT 100000"));
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
    const int bigRows = argc > 1 ? QByteArray(argv[1]).toInt() : 10000000;
    QTemporaryDir dir;
    AppPaths::setProgramDir(dir.path());
    QDir().mkpath(AppPaths::catalogueDir());
    generateRows(AppPaths::catalogueDir(), bigRows);
    double indexBuild = 0, find10m = 0;
    {
        Catalogue cat;
        QElapsedTimer t;
        t.start();
        cat.open(AppPaths::catalogueDir(), [](qint64 done, qint64 total) {
            std::printf("indexing names: %lld of %lld\n", done, total);
            std::fflush(stdout);
            return true;
        });
        indexBuild = t.nsecsElapsed() / 1e9;
        std::printf("first open of %d generated rows (indexes built): %.1f s\n", bigRows, indexBuild);
        find10m = medianFindMs(cat, randomPatterns(cat, 20));
        std::printf("find, median of 20: %.1f ms\n", find10m);
        std::fflush(stdout);
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
    std::printf("find %%abc%% by the dialog: %.3f s (%s found)\n", find, qPrintable(app.TabForm->panels[1]->text()));
    const double sortAll = timeSortBySize(app);
    const double stats1m = timeStatistics(app);
    std::printf("{\"tree_10k_s\": %.3f, \"tree_100k_s\": %.3f, \"first_screen_10m_s\": %.3f, \"find_all_rows_s\": %.3f, "
                "\"find_10m_ms\": %.1f, \"open_index_build_10m_s\": %.1f, \"sort_all_s\": %.3f, \"stats_1m_s\": %.3f, "
                "\"rows\": %d}\n",
                tree10k, tree100k, allRows, find, find10m, indexBuild, sortAll, stats1m, bigRows + 1000000);
    app.shutDown();
    return 0;
}
