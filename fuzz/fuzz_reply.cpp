// Any bytes as everything a server says on the control connection: the
// session logs on, reads features and system, picks its listing command and
// lists two folders, reading every reply with the real reply reader.
//
// The session connects to what the bytes name (passive ports), so the
// harness runs only in a network namespace of its own, where 127.0.0.1 is
// the only address and nothing else listens.
#include "core/ftp/FtpSession.h"

#include <QCoreApplication>
#include <QFile>
#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
int g_listener = -1;
quint16 g_port = 0;

bool isolated()
{
    QFile dev(QStringLiteral("/proc/net/dev"));
    if (!dev.open(QIODevice::ReadOnly))
        return false;
    const QByteArrayList lines = dev.readAll().split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QByteArray name = lines[i].trimmed().split(':').first();
        if (!name.isEmpty() && name != "lo")
            return false;
    }
    return true;
}

void listen()
{
    g_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(g_listener, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(g_listener, 8) != 0)
        std::abort();
    ::getsockname(g_listener, reinterpret_cast<sockaddr *>(&a), &len);
    g_port = ntohs(a.sin_port);
}

// The server: says all it has, then reads what the client sends until the
// client hangs up (closing with unread bytes would reset the connection
// and lose what was said).
void serve(const QByteArray script)
{
    pollfd waiting{g_listener, POLLIN, 0};
    if (::poll(&waiting, 1, 3000) <= 0)
        return;
    const int c = ::accept(g_listener, nullptr, nullptr);
    if (c < 0)
        return;
    ::send(c, script.constData(), size_t(script.size()), MSG_NOSIGNAL);
    ::shutdown(c, SHUT_WR);
    char sink[4096];
    pollfd p{c, POLLIN, 0};
    while (::poll(&p, 1, 2000) > 0 && ::recv(c, sink, sizeof sink, 0) > 0) {
    }
    ::close(c);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (!isolated()) {
        std::fprintf(stderr, "fuzz_reply: run me in a network namespace of my own: "
                             "unshare -n sh -c 'ip link set lo up; exec ./fuzz_reply ...'\n");
        std::exit(2);
    }
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray script(reinterpret_cast<const char *>(data), qsizetype(size));
    // A fresh port each run: a passive connection the bytes aimed at the
    // last one must not be taken for the next control connection.
    listen();
    std::thread server(serve, script);
    FtpLogon logon;
    logon.host = QStringLiteral("127.0.0.1");
    logon.port = g_port;
    logon.passive = true;
    logon.connectTimeoutMs = 1000;
    logon.idleTimeoutMs = 200;
    {
        FtpSession s;
        if (s.open(logon)) {
            s.list(QByteArray());
            s.list("x");
        }
        s.close();
    }
    server.join();
    ::close(g_listener);
    return 0;
}
