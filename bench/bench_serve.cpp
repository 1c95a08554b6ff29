// Loads harvex-cli serve with pattern searches: 32 clients on 127.0.0.1,
// each asking one search after another for 30 s (at most 2,000,000
// requests), on the browser benchmark's catalogue of 10,000,000 rows, or
// on the catalogue folder --catalogue names. Prints the latencies' p50 and
// p99, the errors and the server's peak resident memory; the last line is
// one JSON object.
//   bench_serve [ROWS] [--catalogue DIR] [--clients N] [--seconds S] [--max-requests N]
#include "BrowserCatalogue.h"
#include "ServeLoad.h"
#include "core/catalogue/ReadConnection.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <cstdio>
#include <csignal>

namespace {
struct Options
{
    int rows = 10000000;
    QString catalogue;
    int clients = 32;
    double seconds = 30;
    qint64 maxRequests = 2000000;
};

Options read(const QStringList &args)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (args[i] == QLatin1String("--catalogue"))
            o.catalogue = next, ++i;
        else if (args[i] == QLatin1String("--clients"))
            o.clients = qBound(1, next.toInt(), 256), ++i;
        else if (args[i] == QLatin1String("--seconds"))
            o.seconds = qBound(0.5, next.toDouble(), 600.0), ++i;
        else if (args[i] == QLatin1String("--max-requests"))
            o.maxRequests = qMax<qint64>(1, next.toLongLong()), ++i;
        else
            o.rows = qMax(1000, args[i].toInt());
    }
    return o;
}

// Pieces of 3 to 6 letters of stored names, as %piece%: what people type.
QStringList patterns(const QString &folder, int count)
{
    ReadConnection c(folder, 60000);
    QSqlQuery q(c.database());
    q.exec(QStringLiteral("SELECT Name FROM DB WHERE length(Name) >= 6 LIMIT 100000"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    if (names.isEmpty())
        names << QStringLiteral("readme");
    QRandomGenerator random(32);
    QStringList out;
    while (out.size() < count) {
        const QString name = names[random.bounded(names.size())];
        const int length = 3 + random.bounded(4);
        out << u'%' + name.mid(random.bounded(int(name.size()) - length + 1), length) + u'%';
    }
    return out;
}

// The port serve says it listens on; 0 when it does not within a minute.
quint16 started(QProcess &serve)
{
    static const QRegularExpression listening(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/"));
    QByteArray err;
    for (int i = 0; i < 300 && serve.state() != QProcess::NotRunning; ++i) {
        serve.waitForReadyRead(200);
        err += serve.readAllStandardError();
        const QRegularExpressionMatch m = listening.match(QString::fromUtf8(err));
        if (m.hasMatch())
            return quint16(m.captured(1).toUInt());
    }
    std::fprintf(stderr, "serve did not start: %s\n", err.constData());
    return 0;
}

double peakRssMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Options o = read(app.arguments());
    double indexSeconds = -1;
    const QString folder = o.catalogue.isEmpty() ? BrowserCatalogue::prepare(o.rows, indexSeconds) : o.catalogue;
    const QStringList asked = patterns(folder, 1000);
    QProcess serve;
    serve.setProcessChannelMode(QProcess::SeparateChannels);
    serve.setStandardOutputFile(QProcess::nullDevice());
    serve.start(QStringLiteral(HARVEX_CLI), {"serve", "--db", folder, "--listen", "127.0.0.1:0"});
    const quint16 port = started(serve);
    if (port == 0)
        return 1;
    // The request log is not what is measured: read and dropped as it comes.
    QObject::connect(&serve, &QProcess::readyReadStandardError, &serve, [&serve] { serve.readAllStandardError(); });
    ServeLoad load(QStringLiteral("http://127.0.0.1:%1").arg(port), asked);
    const ServeLoad::Figures f = load.run(o.clients, o.seconds, o.maxRequests);
    const double rss = peakRssMb(serve.processId());
    ::kill(pid_t(serve.processId()), SIGTERM);
    serve.waitForFinished(30000);
    std::printf("%lld requests in %.1f s from %d clients: p50 %.2f ms, p99 %.2f ms, max %.1f ms, %lld errors, "
                "server peak RSS %.0f MB\n",
                static_cast<long long>(f.requests), f.seconds, o.clients, f.p50Ms, f.p99Ms, f.maxMs,
                static_cast<long long>(f.errors), rss);
    std::printf("{\"bench\":\"serve\",\"clients\":%d,\"seconds\":%.1f,\"requests\":%lld,\"errors\":%lld,"
                "\"p50_ms\":%.2f,\"p99_ms\":%.2f,\"max_ms\":%.1f,\"peak_rss_mb\":%.0f}\n",
                o.clients, f.seconds, static_cast<long long>(f.requests), static_cast<long long>(f.errors), f.p50Ms,
                f.p99Ms, f.maxMs, rss);
    return f.errors == 0 ? 0 : 1;
}
