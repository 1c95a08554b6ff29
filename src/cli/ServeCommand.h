#pragma once
#include "web/WebServer.h"

#include <QHostAddress>
#include <QString>

struct CommandContext;

// harvex-cli serve: the catalogue as a search page and a JSON API, read
// only, until Ctrl-C or SIGTERM. Listens on 127.0.0.1:8080 unless --listen
// says otherwise; any other address than the loopback, or --token-file,
// makes every request show the token.
class ServeCommand
{
public:
    static QString usage();
    // Returns the exit code.
    static int fromCommandLine(const CommandContext &context);

private:
    struct Listen
    {
        QHostAddress address;
        quint16 port = 0;
    };
    static bool readListen(const QString &text, Listen &listen);
    static bool readToken(const CommandContext &c, const Listen &listen, QByteArray &token);
    static bool readSettings(const CommandContext &c, const QByteArray &token, WebServer::Settings &settings);
    // Listens and answers until a stop signal; returns the exit code.
    static int serve(const CommandContext &c, const Listen &listen, const QByteArray &token);
    static void runUntilStopped();
};
