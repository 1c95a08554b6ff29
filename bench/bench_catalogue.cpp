// Stores synthetic entries through the same calls and commit policy a scan
// uses (about ten entries per folder, depth first) and prints the rate for
// every 100,000 and every million entries.
// Usage: bench_catalogue [entries] [folder]; with a folder the catalogue is
// kept there (for the browser's figures), else in a temporary folder.
// bench_catalogue --db URL [--writers N] [entries]: N writers (default 1),
// each on its own thread and connection, store entries each under a host of
// their own into a shared PostgreSQL catalogue; prints the writers' rate
// together.
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {
FileEntry entryFor(int n, bool folder)
{
    FileEntry e;
    e.name = folder ? QStringLiteral("dir%1").arg(n) : QStringLiteral("file%1.dat").arg(n);
    e.kind = folder ? FileEntry::Kind::Directory : FileEntry::Kind::File;
    e.size = quint64(n) * 1000;
    e.time = 0x01D9000000000000ull + quint64(n);
    return e;
}

// Processor seconds, user and kernel: on a machine others share, a rate
// falls with their load, this does not.
double cpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

double peakRssMb()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_maxrss / 1024.0; // kilobytes on Linux
}

struct Rates
{
    double first100k = 0, last100k = 0, last1m = 0;
    double last1mCpu = 0; // processor seconds of the last million
    // Pages the last million read into SQLite's cache and wrote out of it:
    // the work behind the rate, which other load on the machine leaves alone.
    int last1mPageReads = 0, last1mPageWrites = 0;
};

// The count since the last call, for one of SQLite's cache counters.
int pagesSinceLast(sqlite3 *db, int counter)
{
    int now = 0, highest = 0;
    sqlite3_db_status(db, counter, &now, &highest, 1);
    return now;
}

// Prints each slice's rate as it ends; a million-slice also gives last1m.
class SliceClock
{
public:
    explicit SliceClock(sqlite3 *db)
        : m_db(db)
    {
        m_small.start(), m_large.start(), m_cpuAtLarge = cpuSeconds();
        pagesSinceLast(m_db, SQLITE_DBSTATUS_CACHE_MISS);
        pagesSinceLast(m_db, SQLITE_DBSTATUS_CACHE_WRITE);
    }
    void tick(int stored, Rates &r)
    {
        if (stored % 100000 == 0) {
            r.last100k = 100000.0 / (m_small.nsecsElapsed() / 1e9);
            if (r.first100k == 0)
                r.first100k = r.last100k;
            std::printf("%9d entries: %.0f entries/s\n", stored, r.last100k);
            m_small.restart();
        }
        if (stored % 1000000 == 0) {
            r.last1m = 1000000.0 / (m_large.nsecsElapsed() / 1e9);
            const double cpu = cpuSeconds();
            r.last1mCpu = cpu - m_cpuAtLarge;
            r.last1mPageReads = pagesSinceLast(m_db, SQLITE_DBSTATUS_CACHE_MISS);
            r.last1mPageWrites = pagesSinceLast(m_db, SQLITE_DBSTATUS_CACHE_WRITE);
            std::printf("%9d entries: million no. %d at %.0f entries/s, %.1f processor s, peak %.0f MB, "
                        "%d pages read, %d written\n",
                        stored, stored / 1000000, r.last1m, r.last1mCpu, peakRssMb(), r.last1mPageReads,
                        r.last1mPageWrites);
            m_large.restart();
            m_cpuAtLarge = cpu;
        }
        std::fflush(stdout);
    }

private:
    sqlite3 *m_db;
    QElapsedTimer m_small, m_large;
    double m_cpuAtLarge = 0;
};
// One writer's scan-like store of total entries under host; first numbers
// the entries, so that writers store names and sizes of their own, as
// scanners of different servers do.
void storeTree(Catalogue &cat, int total, const QString &host, int first)
{
    QList<qint32> pending{0};
    int stored = 0;
    while (stored < total) {
        const qint32 parent = pending.isEmpty() ? 0 : pending.takeLast();
        cat.beginNewFolder(parent, host); // as a scan begins each new folder's listing
        for (int i = 0; i < 10 && stored < total; ++i, ++stored) {
            const bool isFolder = (i == 0 || i == 5);
            const qint32 id = cat.StoreEntry(entryFor(first + stored, isFolder), parent, host);
            if (isFolder)
                pending.append(id);
        }
    }
    cat.flush();
}

int runWriters(const QString &url, int writers, int total)
{
    QList<QThread *> threads;
    QStringList failures;
    QMutex failed;
    QElapsedTimer all;
    all.start();
    const qint64 stamp = QDateTime::currentMSecsSinceEpoch(); // hosts of their own on every run
    for (int w = 0; w < writers; ++w) {
        threads << QThread::create([&, w] {
            try {
                Catalogue cat;
                cat.open(url);
                storeTree(cat, total, QStringLiteral("bench%1-w%2.example").arg(stamp).arg(w), w * total);
            } catch (const CatalogueError &e) {
                const QMutexLocker lock(&failed);
                failures << e.message();
            }
        });
        threads.last()->start();
    }
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    if (!failures.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failures.join(u'\n')));
        return 1;
    }
    const double rate = double(writers) * total / (all.nsecsElapsed() / 1e9);
    std::printf("%d writers: %.0f entries/s together over %d entries each\n", writers, rate, total);
    std::printf("{\"writers\": %d, \"entries_per_s\": %.0f, \"entries_per_writer\": %d}\n", writers, rate, total);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (const QStringList args = app.arguments(); args.contains(QLatin1String("--db"))) {
        const QString url = args.value(args.indexOf(QLatin1String("--db")) + 1);
        const qsizetype w = args.indexOf(QLatin1String("--writers"));
        QStringList rest = args.mid(1);
        rest.removeAll(url);
        rest.removeAll(QStringLiteral("--db"));
        if (w >= 0) {
            rest.removeOne(args.value(w + 1));
            rest.removeAll(QStringLiteral("--writers"));
        }
        return runWriters(url, w >= 0 ? args.value(w + 1).toInt() : 1, rest.isEmpty() ? 200000 : rest.first().toInt());
    }
    const int total = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();
    Catalogue cat;
    cat.open(folder);

    QList<qint32> pending{0};
    QElapsedTimer all;
    all.start();
    SliceClock clock(cat.handle());
    Rates rates;
    int stored = 0;
    while (stored < total) {
        const qint32 parent = pending.isEmpty() ? 0 : pending.takeLast();
        for (int i = 0; i < 10 && stored < total; ++i) {
            const bool isFolder = (i == 0 || i == 5);
            const qint32 id = cat.StoreEntry(entryFor(stored, isFolder), parent, QStringLiteral("bench.example"));
            if (isFolder)
                pending.append(id);
            clock.tick(++stored, rates);
        }
    }
    cat.flush();
    const double overall = total / (all.nsecsElapsed() / 1e9);
    std::printf("overall: %.0f entries/s over %d entries\n", overall, total);
    std::printf("{\"entries_per_s\": %.0f, \"first_100k_per_s\": %.0f, \"last_100k_per_s\": %.0f, "
                "\"last_1m_per_s\": %.0f, \"last_1m_cpu_s\": %.1f, \"last_1m_page_reads\": %d, "
                "\"last_1m_page_writes\": %d, \"cpu_s\": %.1f, \"peak_rss_mb\": %.0f}\n",
                overall, rates.first100k, rates.last100k, rates.last1m, rates.last1mCpu, rates.last1mPageReads,
                rates.last1mPageWrites, cpuSeconds(), peakRssMb());
    return 0;
}
