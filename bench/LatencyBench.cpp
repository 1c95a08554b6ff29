#include "LatencyBench.h"
#include "BenchTree.h"
#include "BenchServer.h"
#include "LatencyProxy.h"
#include "core/ftp/CertificateFingerprint.h"
#include "core/ftp/StatPipeline.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>

namespace {
// lftp walks one folder per round trips, several of them: 400 s at 50 ms.
constexpr int ToolLimitMs = 30 * 60 * 1000;

// The proxy runs its own event loop: harvex-cli and the others are separate
// processes, but the proxy must keep time while this thread waits on them.
class ProxyThread
{
public:
    ProxyThread(quint16 upstream, std::chrono::microseconds oneWay)
    {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
        QMetaObject::invokeMethod(&m_anchor, [&] {
            m_proxy = new LatencyProxy(upstream, oneWay);
            m_port = m_proxy->listen() ? m_proxy->port() : 0;
        }, Qt::BlockingQueuedConnection);
    }
    ~ProxyThread()
    {
        QMetaObject::invokeMethod(&m_anchor, [this] { delete m_proxy; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }

private:
    QThread m_thread;
    QObject m_anchor;
    LatencyProxy *m_proxy = nullptr;
    quint16 m_port = 0;
};
} // namespace

LatencyBench::LatencyBench(int rttMs, const QStringList &tools)
    : m_rttMs(rttMs)
    , m_tools(tools)
{
}

int LatencyBench::run()
{
    QStringList json{QStringLiteral("\"rtt_ms\": %1").arg(m_rttMs)};
    for (const QString &server : m_servers) {
        if (!runOn(server, json))
            return 1;
    }
    std::printf("{%s}\n", qPrintable(json.join(QStringLiteral(", "))));
    std::fflush(stdout);
    return 0;
}

bool LatencyBench::runOn(const QString &name, QStringList &json)
{
    QTemporaryDir root, work;
    m_work = work.path();
    const BenchTree tree = BenchTree::makeSmall(root.path());
    BenchServer server(name);
    if (!server.start(root.path())) {
        std::fprintf(stderr, "cannot start %s: %s\n", qPrintable(name), qPrintable(server.error()));
        return false;
    }
    m_user = server.user();
    m_fingerprint = server.fingerprint();
    if (json.size() == 1)
        json << QStringLiteral("\"folders\": %1").arg(tree.folders.size())
             << QStringLiteral("\"entries\": %1").arg(tree.entries);
    QProcess external;
    std::unique_ptr<ProxyThread> proxy;
    quint16 port = 0;
    if (!m_externalProxy.isEmpty()) {
        port = startExternalProxy(server.port(), external);
        json << QStringLiteral("\"proxy\": \"external\"");
    } else {
        proxy = std::make_unique<ProxyThread>(server.port(), std::chrono::microseconds(m_rttMs * 500));
        port = proxy->port();
    }
    if (port == 0) {
        std::fprintf(stderr, "cannot start the latency proxy\n");
        return false;
    }
    std::printf("%s:\n", qPrintable(name));
    timeTools(port, name, json);
    if (external.state() != QProcess::NotRunning) {
        external.terminate();
        external.waitForFinished(3000);
    }
    return true;
}

void LatencyBench::timeTools(quint16 port, const QString &server, QStringList &json)
{
    for (const QString &tool : m_tools) {
        const double s = timeTool(tool, port);
        std::printf("  %s: %.2f s\n", qPrintable(tool), s);
        std::fflush(stdout);
        json << QStringLiteral("\"%1_%2_s\": %3")
                    .arg(server, tool, s < 0 ? QStringLiteral("null") : QString::number(s, 'f', 2));
    }
}

quint16 LatencyBench::startExternalProxy(quint16 upstream, QProcess &process)
{
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("python3"), {m_externalProxy, "--listen", "0", "--upstream", QString::number(upstream),
                                              "--delay-ms", QString::number(m_rttMs / 2.0)});
    if (!process.waitForReadyRead(10000))
        return 0;
    const QByteArray ready = process.readLine().trimmed(); // "ready PORT"
    return quint16(ready.mid(ready.lastIndexOf(' ') + 1).toUInt());
}

double LatencyBench::timeTool(const QString &tool, quint16 port)
{
    if (tool.startsWith(QLatin1String("harvex")))
        return harvex(port, tool.mid(6).toInt());
    if (tool == QLatin1String("lftp"))
        return lftp(port);
    if (tool.startsWith(QLatin1String("pipeline")))
        return pipelinedWalk(port, tool.mid(8).toInt());
    if (tool.startsWith(QLatin1String("rclone")))
        return rclone(port, tool.mid(6).toInt());
    return -1;
}

// Wall seconds, or -1 when the program is missing, fails or overruns.
double LatencyBench::timeProcess(const QString &program, const QStringList &args, const QString &dataDir,
                                 const QByteArray &input)
{
    if (program.isEmpty())
        return -1;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(m_work + QStringLiteral("/last-stderr.txt"));
    if (!dataDir.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("RCLONE_CONFIG"), dataDir + QStringLiteral("/rclone.conf"));
        p.setProcessEnvironment(env);
    }
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(ToolLimitMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (exit %d)\n", qPrintable(program), p.exitCode());
        return -1;
    }
    return t.nsecsElapsed() / 1e9;
}

// connections 0: the program's default.
double LatencyBench::harvex(quint16 port, int connections)
{
    // A fresh catalogue each run: a rescan does other work.
    QTemporaryDir data;
    QStringList args{"scan",   QStringLiteral("127.0.0.1:%1").arg(port), "--passive", "--data", data.path(),
                     "--user", m_user, "--password-stdin"};
    if (connections > 0)
        args << "--connections" << QString::number(connections);
    if (!m_fingerprint.isEmpty())
        args << "--tls" << "require" << "--trust" << m_fingerprint;
    return timeProcess(QStringLiteral(HARVEX_CLI), args, {}, "harvex@\n");
}

double LatencyBench::lftp(quint16 port)
{
    return timeProcess(QStandardPaths::findExecutable(QStringLiteral("lftp")),
                       {"-c", QStringLiteral("set cache:enable no; open ftp://127.0.0.1:%1; find /").arg(port)});
}

double LatencyBench::rclone(quint16 port, int checkers)
{
    const QString rclone = QStandardPaths::findExecutable(QStringLiteral("rclone"));
    if (rclone.isEmpty())
        return -1;
    QProcess obscure;
    obscure.start(rclone, {"obscure", "harvex@"});
    obscure.waitForFinished();
    const QString pass = QString::fromLatin1(obscure.readAllStandardOutput().trimmed());
    const QString remote = QStringLiteral(":ftp,host=127.0.0.1,port=%1,user=%2,pass=%3%4:")
                               .arg(port)
                               .arg(m_user, pass,
                                    m_fingerprint.isEmpty() ? QString()
                                                            : QStringLiteral(",explicit_tls=true,no_check_certificate=true"));
    return timeProcess(rclone, {"lsf", "-R", "--checkers", QString::number(checkers), remote}, m_work);
}

// Log-on included, as in a scan; a folder's subfolders are submitted when
// its listing comes, as a scanner would.
double LatencyBench::pipelinedWalk(quint16 port, int fixedWindow)
{
    QElapsedTimer t;
    t.start();
    FtpSession session;
    FtpLogon logon = FtpLogon::fromHostText(QStringLiteral("127.0.0.1:%1").arg(port));
    logon.passive = true;
    logon.user = m_user;
    logon.password = QStringLiteral("harvex@");
    if (!m_fingerprint.isEmpty()) {
        logon.tls = FtpLogon::Tls::Require;
        logon.pinnedSha256 = CertificateFingerprint::parse(m_fingerprint);
    }
    if (!session.open(logon))
        return -1;
    StatPipeline pipeline(session);
    if (fixedWindow > 0)
        pipeline.setWindowLimits(fixedWindow, fixedWindow);
    const bool pipelined = pipeline.probe();
    pipeline.submit(QByteArray());
    qint64 entries = 0;
    while (!pipeline.isIdle()) {
        const StatPipeline::Result r = pipeline.next();
        entries += r.listing.entries.size();
        for (const FileEntry &e : r.listing.entries)
            if (e.isDirectory())
                pipeline.submit(r.path.isEmpty() ? e.wireName : r.path + '/' + e.wireName);
    }
    std::printf("pipeline: %s, %lld entries, window %d at the end\n", pipelined ? "on" : "off (probe failed)",
                qlonglong(entries), pipeline.window());
    return t.nsecsElapsed() / 1e9;
}
