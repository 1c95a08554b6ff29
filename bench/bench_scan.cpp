// Scans a generated tree served by vsftpd into a fresh catalogue, as the
// desktop program does (on the scan's own thread, progress crossing to this
// one), and times the same walk's bare listings with nothing stored; with
// lftp installed, also its recursive find over the same server.
//
// bench_scan --rtt-ms N [--tools harvex,lftp,rclone8,rclone16] [--server
// vsftpd,pyftpdlib,proftpd,pureftpd|all]: a smaller tree through a proxy
// that adds N ms of round trip, timing harvex-cli beside lftp and rclone in
// one run ("harvex4": with 4 connections, "rclone4": with 4 checkers), on
// each server in turn. ProFTPD and Pure-FTPd come from
// bench/unpack_servers.sh.
//
// bench_scan --hosts 16 [--rtt-ms 20]: 16 hosts of about 1,000 entries
// behind proxies, each alone and then all with one scan --hosts-file.
// bench_scan --pg-rescan [--hosts 8] [--rtt-ms 20]: the hosts of a
// PostgreSQL catalogue rescanned by one process, then by two at once.
//
// bench_scan --million: a tree of five levels (111,111 folders, 1,011,110
// entries), for the scan's peak resident memory. SQLite's own peak (its page
// cache, which [DB] settings bound, and statements) is given apart, so that
// what the walk holds shows as the rest.
#include "core/base/ActivityLog.h"
#include "BenchTree.h"
#include "core/base/ElapsedCounter.h"
#include "core/scan/FtpConnection.h"
#include "FtpTestServer.h"
#include "core/scan/HostSource.h"
#include "core/scan/ScanWorker.h"
#include "core/base/UserMessages.h"
#include "BenchServer.h"
#include "LatencyBench.h"
#include "MultiHostBench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {
struct Host : HostSource
{
    QString text;
    QString CurrentHost() override { return text; }
    QString CurrentUser() override { return {}; }
    QString CurrentPassword() override { return {}; }
};

void messagesOut(const QString &t)
{
    std::fprintf(stderr, "%s\n", qPrintable(t));
}

struct ToStderr : UserMessages
{
    void showMessage(const QString &t) override { messagesOut(t); }
};

long sqlitePeakKb()
{
    sqlite3_int64 now = 0, peak = 0;
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &peak, 0);
    return long(peak / 1024);
}

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The walk's listings alone: same connection, same order, nothing stored.
double bareWalk(FtpConnection &conn)
{
    QElapsedTimer t;
    t.start();
    conn.ConnectToHost();
    QByteArrayList work{QByteArray()};
    while (!work.isEmpty()) {
        const QByteArray path = work.takeLast();
        const QList<FileEntry> entries = conn.list(path).entries;
        for (const FileEntry &e : entries)
            if (e.isDirectory())
                work << (path.isEmpty() ? e.wireName : path + '/' + e.wireName);
        if (!work.isEmpty())
            conn.prefetch(work.last());
    }
    conn.CloseConnection();
    return t.nsecsElapsed() / 1e9;
}

double lftpFind(quint16 port)
{
    // HARVEX_BENCH_LFTP=0 leaves it out: on a loaded machine it takes minutes.
    const QString lftp = QStandardPaths::findExecutable("lftp");
    if (lftp.isEmpty() || qEnvironmentVariable("HARVEX_BENCH_LFTP") == QLatin1String("0"))
        return -1;
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(lftp, {"-c", QStringLiteral("set cache:enable no; open ftp://127.0.0.1:%1; find /").arg(port)});
    p.waitForFinished(600000);
    return t.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.addOptions({{"rtt-ms", "Round trip the proxy adds, in ms.", "N"},
                     {"tools", "Comma-separated: harvex[N], lftp, rclone8, rclone16, rcloneN.", "LIST"},
                     {"server", "Comma-separated: vsftpd (default), vsftpd-tls, pyftpdlib, proftpd, pureftpd, or all.", "LIST"},
                     {"external-proxy", "A proxy script to cross-check the built-in one.", "SCRIPT"},
                     {"million", "A tree of a million entries, for memory."},
                     {"hosts", "Hosts scanned at once (with --pg-rescan: rescanned).", "N"},
                     {"pg-rescan", "Two rescans of one PostgreSQL catalogue against one."}});
    args.process(app);
    if (args.isSet("hosts") || args.isSet("pg-rescan")) {
        const int rtt = args.isSet("rtt-ms") ? args.value("rtt-ms").toInt() : 20;
        const int hosts = args.isSet("hosts") ? args.value("hosts").toInt() : args.isSet("pg-rescan") ? 8 : 16;
        MultiHostBench bench(hosts, rtt);
        return args.isSet("pg-rescan") ? bench.rescans() : bench.hosts();
    }
    if (args.isSet("rtt-ms")) {
        const QStringList tools = args.isSet("tools") ? args.value("tools").split(u',') : LatencyBench::allTools();
        LatencyBench bench(args.value("rtt-ms").toInt(), tools);
        bench.setExternalProxy(args.value("external-proxy"));
        if (args.isSet("server"))
            bench.setServers(args.value("server") == "all" ? BenchServer::names() : args.value("server").split(u','));
        return bench.run();
    }
    QTemporaryDir root, data;
    const bool million = args.isSet("million");
    const BenchTree tree = million ? BenchTree::make(root.path(), 10, 5, 9) : BenchTree::make(root.path());
    FtpTestServer server(FtpTestServer::Kind::Vsftpd);
    if (!server.start(root.path())) {
        std::fprintf(stderr, "cannot start vsftpd: %s\n", qPrintable(server.error()));
        return 1;
    }
    ActivityLog log;
    ElapsedCounter timeConnect;
    Host host;
    host.text = server.hostText();
    ToStderr messages;
    FtpConnection conn(log, timeConnect, host, messages);

    const double bare = bareWalk(conn);
    std::printf("bare listing walk: %.2f s\n", bare);
    QThread thread;
    auto *worker = new ScanWorker(data.filePath("DB"), data.filePath("Harvex.ini"));
    worker->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.start();
    qint64 entries = 0;
    qint64 progressReports = 0;
    QEventLoop wait;
    QObject::connect(worker, &ScanWorker::counts, &app, [&] { ++progressReports; });
    QObject::connect(worker, &ScanWorker::message, &app, [](const QString &t) { messagesOut(t); });
    QObject::connect(worker, &ScanWorker::scanEnded, &wait, [&](const HostScanner::Stats &s) {
        entries = s.entries;
        wait.quit();
    });
    QElapsedTimer t;
    t.start();
    QMetaObject::invokeMethod(worker, [worker, h = host.text] { worker->scan(h, QString(), QString()); });
    wait.exec();
    const double scan = t.nsecsElapsed() / 1e9;
    thread.quit();
    thread.wait();
    std::printf("progress reports that reached this thread: %lld\n", qlonglong(progressReports));
    std::printf("scan: %lld entries in %.2f s, %.0f entries/s, %.2f x the bare walk, peak RSS %ld KiB\n",
                qlonglong(entries), scan, entries / scan, scan / bare, peakRssKb());
    const double lftp = million ? -1 : lftpFind(server.port());
    if (lftp >= 0)
        std::printf("lftp find: %.2f s\n", lftp);
    const long rss = peakRssKb(), sqlitePeak = sqlitePeakKb();
    std::printf("{\"entries\": %lld, \"scan_s\": %.2f, \"bare_walk_s\": %.2f, \"ratio\": %.3f, \"lftp_find_s\": %s, "
                "\"peak_rss_mb\": %.1f, \"sqlite_peak_mb\": %.1f, \"rest_mb\": %.1f, \"bound_mb\": 256}\n",
                qlonglong(entries), scan, bare, scan / bare,
                lftp >= 0 ? qPrintable(QString::number(lftp, 'f', 2)) : "null", rss / 1024.0, sqlitePeak / 1024.0,
                (rss - sqlitePeak) / 1024.0);
    return 0;
}
