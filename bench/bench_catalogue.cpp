// Stores synthetic entries through the same calls and commit policy a scan
// uses (about ten entries per folder, depth first) and prints the rate.
#include "core/catalogue/Catalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {
FindData entryFor(int n, bool folder)
{
    FindData e;
    e.setName(folder ? QStringLiteral("dir%1").arg(n) : QStringLiteral("file%1.dat").arg(n));
    e.dwFileAttributes = folder ? FindData::AttrDirectory : FindData::AttrNormal;
    e.setSize(quint64(n) * 1000);
    e.setTimes(0x01D9000000000000ull + quint64(n));
    return e;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    Catalogue cat;
    cat.open(dir.path());

    QList<qint32> pending{0};
    QElapsedTimer all, slice;
    all.start();
    slice.start();
    double first = 0, last = 0;
    int stored = 0;
    while (stored < total) {
        const qint32 parent = pending.isEmpty() ? 0 : pending.takeLast();
        for (int i = 0; i < 10 && stored < total; ++i, ++stored) {
            const bool folder = (i == 0 || i == 5);
            const qint32 id = cat.StoreEntry(entryFor(stored, folder), parent, QStringLiteral("bench.example"));
            if (folder)
                pending.append(id);
            if ((stored + 1) % 100000 == 0) {
                const double rate = 100000.0 / (slice.nsecsElapsed() / 1e9);
                std::printf("%7d entries: %.0f entries/s\n", stored + 1, rate);
                std::fflush(stdout);
                if (first == 0)
                    first = rate;
                last = rate;
                slice.restart();
            }
        }
    }
    cat.flush();
    const double overall = total / (all.nsecsElapsed() / 1e9);
    std::printf("overall: %.0f entries/s over %d entries\n", overall, total);
    std::printf("{\"entries_per_s\": %.0f, \"first_100k_per_s\": %.0f, \"last_100k_per_s\": %.0f}\n",
                overall, first, last);
    return 0;
}
