#include "MultiHostBench.h"
#include "BenchTree.h"
#include "FtpTestServer.h"
#include "PgTestServer.h"
#include "ProxyHost.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {
constexpr int LimitMs = 30 * 60 * 1000;
} // namespace

MultiHostBench::MultiHostBench(int hosts, int rttMs)
    : m_count(hosts)
    , m_rttMs(rttMs)
    , m_work(std::make_unique<QTemporaryDir>())
{
}

MultiHostBench::~MultiHostBench() = default;

// Two levels of ten folders, nine files in each of the hundred: 1,010 entries.
bool MultiHostBench::startHosts()
{
    m_proxies = std::make_unique<ProxyHost>();
    const bool vsftpd = FtpTestServer::available(FtpTestServer::Kind::Vsftpd);
    for (int i = 0; i < m_count; ++i) {
        m_trees.push_back(std::make_unique<QTemporaryDir>());
        m_entries += BenchTree::make(m_trees.back()->path(), 10, 2, 9).entries;
        const auto kind = vsftpd && i % 2 == 0 ? FtpTestServer::Kind::Vsftpd : FtpTestServer::Kind::Pyftpdlib;
        m_servers.push_back(std::make_unique<FtpTestServer>(kind));
        if (!m_servers.back()->start(m_trees.back()->path())) {
            std::fprintf(stderr, "cannot start server %d: %s\n", i, qPrintable(m_servers.back()->error()));
            return false;
        }
        const quint16 port = m_proxies->add(m_servers.back()->port(), std::chrono::microseconds(m_rttMs * 500));
        if (port == 0)
            return false;
        m_addresses << QStringLiteral("127.0.0.1:%1").arg(port);
    }
    return true;
}

double MultiHostBench::timeCli(const QStringList &args) const
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(m_work->filePath(QStringLiteral("last-stderr.txt")));
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(HARVEX_CLI), args);
    if (!p.waitForFinished(LimitMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "harvex-cli %s failed (exit %d)\n", qPrintable(args.join(u' ')), p.exitCode());
        return -1;
    }
    return t.nsecsElapsed() / 1e9;
}

QString MultiHostBench::hostsFile() const
{
    const QString path = m_work->filePath(QStringLiteral("hosts.txt"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write((QStringLiteral("# bench_scan --hosts\n") + m_addresses.join(u'\n') + u'\n').toUtf8());
    return path;
}

int MultiHostBench::hosts()
{
    if (!startHosts())
        return 1;
    double slowest = 0;
    for (int i = 0; i < m_count; ++i) {
        const QString data = m_work->filePath(QStringLiteral("alone%1").arg(i));
        const double s = timeCli({"scan", m_addresses[i], "--data", data});
        if (s < 0)
            return 1;
        std::printf("host %d (%s) alone: %.2f s\n", i, i % 2 == 0 ? "vsftpd" : "pyftpdlib", s);
        slowest = std::max(slowest, s);
    }
    const double batch = timeCli({"scan", "--hosts-file", hostsFile(), "--data", m_work->filePath(QStringLiteral("batch"))});
    if (batch < 0)
        return 1;
    std::printf("%d hosts with one scan --hosts-file: %.2f s, %.2f x the slowest alone (target 1.5)\n", m_count, batch,
                batch / slowest);
    std::printf("{\"hosts\": %d, \"rtt_ms\": %d, \"entries\": %lld, \"slowest_alone_s\": %.2f, \"batch_s\": %.2f, "
                "\"ratio\": %.3f, \"target\": 1.5}\n",
                m_count, m_rttMs, qlonglong(m_entries), slowest, batch, batch / slowest);
    return 0;
}

// The history of every host: each has the same number of runs, or -1.
int MultiHostBench::scansOfEachHost(const QString &url) const
{
    int runs = -2;
    for (const QString &host : m_addresses) {
        QProcess p;
        p.start(QStringLiteral(HARVEX_CLI), {"history", host, "--db", url, "--data", m_work->filePath("pg")});
        p.waitForFinished(60000);
        const int n = int(QString::fromUtf8(p.readAllStandardOutput()).count(u'\n')) - 1;
        if (runs != -2 && n != runs)
            return -1;
        runs = n;
    }
    return runs;
}

int MultiHostBench::rescans()
{
    PgTestServer pg;
    if (!pg.start() || !pg.createDatabase(QStringLiteral("bench"))) {
        std::fprintf(stderr, "cannot start PostgreSQL: %s\n", qPrintable(pg.error()));
        return 1;
    }
    if (!startHosts())
        return 1;
    const QString url = pg.url(QStringLiteral("bench"));
    const QString data = m_work->filePath(QStringLiteral("pg"));
    if (timeCli({"scan", "--hosts-file", hostsFile(), "--db", url, "--data", data}) < 0)
        return 1;
    const QStringList rescan{"rescan", "--db", url, "--data", data};
    const double one = timeCli(rescan);
    std::printf("one rescan of %d hosts: %.2f s\n", m_count, one);
    QElapsedTimer t;
    t.start();
    QProcess a, b;
    for (QProcess *p : {&a, &b}) {
        p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(QStringLiteral(HARVEX_CLI), rescan);
    }
    const bool ended = a.waitForFinished(LimitMs) && b.waitForFinished(LimitMs);
    const double two = t.nsecsElapsed() / 1e9;
    if (one < 0 || !ended || a.exitCode() != 0 || b.exitCode() != 0) {
        std::fprintf(stderr, "a rescan failed\n");
        return 1;
    }
    // The first scan, one rescan, then once more by one of the two.
    const int runs = scansOfEachHost(url);
    std::printf("two rescans at once: %.2f s, %.2f x one (target 0.6); runs of each host: %d (3: each scanned once)\n",
                two, two / one, runs);
    std::printf("{\"hosts\": %d, \"rtt_ms\": %d, \"one_rescan_s\": %.2f, \"two_rescans_s\": %.2f, \"ratio\": %.3f, "
                "\"target\": 0.6, \"runs_per_host\": %d}\n",
                m_count, m_rttMs, one, two, two / one, runs);
    return runs == 3 ? 0 : 1;
}
