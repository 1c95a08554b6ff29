#include "ServeCommand.h"
#include "CliApp.h"
#include "CommandContext.h"
#include "CommandLine.h"
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "core/base/IniFile.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ReadConnection.h"
#include "core/scan/ScanSetup.h"
#include "web/WebServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QTimer>
#include <atomic>
#include <csignal>

namespace {
std::atomic<bool> g_stop{false};

void onStopSignal(int)
{
    g_stop = true;
}

constexpr int DefaultPort = 8080;
} // namespace

QString ServeCommand::usage()
{
    return QStringLiteral(
        "usage: harvex-cli serve [--listen ADDRESS:PORT] [--token-file FILE]\n"
        "  serves the catalogue, read-only, as a search page and a JSON API (/api/search,\n"
        "  /api/hosts, /api/folder, /api/dupes) until Ctrl-C or SIGTERM; one line per\n"
        "  request on standard error\n"
        "  --listen ADDRESS:PORT  where to listen (default 127.0.0.1:8080; [::1]:8080 for\n"
        "                      IPv6; port 0 picks a free one)\n"
        "  --token-file FILE   every request needs the token in FILE (its first line), as\n"
        "                      \"Authorization: Bearer TOKEN\" or through the page's login form;\n"
        "                      required when ADDRESS is not a loopback address\n"
        "  --timeout SECONDS   longest a request's search may take (default 5)\n"
        "  --db URL, --data DIR  the catalogue, as for every command");
}

bool ServeCommand::readListen(const QString &text, Listen &listen)
{
    const qsizetype colon = text.lastIndexOf(u':');
    QString host = colon < 0 ? text : text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = colon < 0;
    const uint port = colon < 0 ? DefaultPort : text.mid(colon + 1).toUInt(&ok);
    listen.address = QHostAddress(host);
    listen.port = quint16(port);
    return ok && port <= 65535 && !listen.address.isNull();
}

bool ServeCommand::readToken(const CommandContext &c, const Listen &listen, QByteArray &token)
{
    if (!c.line.isSet("token-file")) {
        if (listen.address.isLoopback())
            return true;
        CommandLine::usageError(QStringLiteral("--listen on an address other than the loopback needs --token-file"));
        return false;
    }
    QFile file(c.line.value("token-file"));
    if (!file.open(QIODevice::ReadOnly)) {
        ConsoleLine::err(QStringLiteral("Cannot read the token file %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    token = file.readLine().trimmed();
    if (token.size() < 8) {
        ConsoleLine::err(QStringLiteral("The token in %1 is shorter than 8 characters").arg(file.fileName()));
        return false;
    }
    return true;
}

int ServeCommand::fromCommandLine(const CommandContext &c)
{
    Listen listen;
    if (!readListen(c.line.isSet("listen") ? c.line.value("listen") : QStringLiteral("127.0.0.1:8080"), listen))
        return CommandLine::usageError(QStringLiteral("--listen takes ADDRESS:PORT, such as 127.0.0.1:8080"));
    QByteArray token;
    if (!readToken(c, listen, token))
        return ExitCode::Failed;
    return serve(c, listen, token);
}

bool ServeCommand::readSettings(const CommandContext &c, const QByteArray &token, WebServer::Settings &settings)
{
    settings.where = CliApp::catalogueWhere(c.line, c.settings);
    settings.token = token;
    bool ok = true;
    if (c.line.isSet("timeout"))
        settings.timeoutMs = int(c.line.value("timeout").toDouble(&ok) * 1000);
    if (!ok || settings.timeoutMs <= 0) {
        CommandLine::usageError(QStringLiteral("--timeout takes a number of seconds"));
        return false;
    }
    // The settings file is read by one thread at a time.
    auto lock = std::make_shared<QMutex>();
    settings.codePageOf = [lock, &ini = c.settings](const QString &host) {
        const QMutexLocker locked(lock.get());
        return ScanSetup::codePageFor(ini, host);
    };
    // A catalogue that cannot be read is said now, not at the first request.
    try {
        ReadConnection probe(settings.where, settings.timeoutMs);
    } catch (const CatalogueError &e) {
        ConsoleLine::err(e.message());
        return false;
    }
    return true;
}

int ServeCommand::serve(const CommandContext &c, const Listen &listen, const QByteArray &token)
{
    WebServer::Settings settings;
    if (!readSettings(c, token, settings))
        return ExitCode::Failed;
    WebServer server(settings);
    const quint16 port = server.listen(listen.address, listen.port);
    if (port == 0) {
        ConsoleLine::err(QStringLiteral("Cannot listen on %1:%2").arg(listen.address.toString()).arg(listen.port));
        return ExitCode::Failed;
    }
    const QString host = listen.address.protocol() == QAbstractSocket::IPv6Protocol
        ? u'[' + listen.address.toString() + u']' : listen.address.toString();
    ConsoleLine::err(QStringLiteral("Serving the catalogue on http://%1:%2/ (Ctrl-C stops)").arg(host).arg(port));
    runUntilStopped();
    ConsoleLine::err(QStringLiteral("Stopped"));
    return ExitCode::Ok;
}

// A signal handler may only set a flag; the loop looks at it ten times a second.
void ServeCommand::runUntilStopped()
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (g_stop)
            QCoreApplication::quit();
    });
    watch.start(100);
    QCoreApplication::exec();
}
