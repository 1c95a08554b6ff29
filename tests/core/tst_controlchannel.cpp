#include "core/ftp/ControlChannel.h"
#include "core/ftp/FtpLogon.h"
#include "core/ftp/SlicedWait.h"

#include <QtTest>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// The reply reader against a server that sends its bytes in pieces with a
// pause between them, so every split of a line or a reply is met as it
// would be on a slow link.
class tst_ControlChannel : public QObject
{
    Q_OBJECT
private slots:
    void readsReplies_data();
    void readsReplies();
    void overlongLineEndsTheConnection();
};

namespace {
// One connection on loopback; pieces are written 20 ms apart, then the
// server reads until the client hangs up.
class PieceServer
{
public:
    explicit PieceServer(QByteArrayList pieces)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&a), len);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this, pieces] { serve(pieces); });
    }
    ~PieceServer()
    {
        m_thread.join();
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }

private:
    void serve(const QByteArrayList &pieces)
    {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 3000) <= 0)
            return;
        const int c = ::accept(m_listener, nullptr, nullptr);
        for (const QByteArray &piece : pieces) {
            ::send(c, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::shutdown(c, SHUT_WR);
        char sink[4096];
        pollfd p{c, POLLIN, 0};
        while (::poll(&p, 1, 3000) > 0 && ::recv(c, sink, sizeof sink, 0) > 0) {
        }
        ::close(c);
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

// A control channel connected to the server; the log-on outlives it.
struct Client
{
    explicit Client(quint16 port)
    {
        logon.host = QStringLiteral("127.0.0.1");
        logon.port = port;
        control.renew();
        connected = control.connectToServer();
    }
    FtpLogon logon;
    SlicedWait waits;
    ControlChannel control{logon, waits};
    bool connected = false;
};

// "code:lines" for each reply until one fails to come.
QStringList readAll(ControlChannel &control)
{
    QStringList got;
    for (;;) {
        const FtpReply r = control.readReply(2000);
        if (r.code == 0)
            return got;
        got << QStringLiteral("%1:%2").arg(r.code).arg(r.lines.size());
    }
}
} // namespace

void tst_ControlChannel::readsReplies_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QStringList>("replies");
    const QByteArray longest = "200 " + QByteArray(ControlChannel::MaxReplyLine - 5, 'a') + "\r\n";
    QByteArray many;
    for (int i = 0; i < 3000; ++i)
        many += "200 reply number " + QByteArray::number(i) + "\r\n";
    QTest::newRow("a byte at a time") << QByteArrayList{"2", "2", "0", " re", "ady\r", "\n"} << QStringList{"220:1"};
    QTest::newRow("bare line feeds") << QByteArrayList{"200 a\n331 b\n"} << QStringList{"200:1", "331:1"};
    QTest::newRow("multi-line split inside its inner lines")
        << QByteArrayList{"211-Feat\r\n 22", "6 x\r\n211-still", " in\r\n211", " End\r\n"} << QStringList{"211:4"};
    QTest::newRow("replies in one write and one late")
        << QByteArrayList{"200 a\r\n230-b\r\n230 c\r\n", "250 d\r\n"} << QStringList{"200:1", "230:2", "250:1"};
    QTest::newRow("bare code ends a multi-line reply") << QByteArrayList{"226-a\r\n226\r\n"} << QStringList{"226:2"};
    QTest::newRow("the longest line allowed") << QByteArrayList{longest.left(30000), longest.mid(30000)}
                                              << QStringList{"200:1"};
    // More than the longest line of replies waits unread in the buffer.
    QTest::newRow("thousands of replies in one write") << QByteArrayList{many} << QStringList(3000, "200:1");
    QTest::newRow("cut mid-line") << QByteArrayList{"200 a\r\n", "250 par"} << QStringList{"200:1"};
}

void tst_ControlChannel::readsReplies()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QStringList, replies);
    PieceServer server(pieces);
    Client client(server.port());
    QVERIFY2(client.connected, qPrintable(client.control.error()));
    QCOMPARE(readAll(client.control), replies);
    client.control.quit();
}

void tst_ControlChannel::overlongLineEndsTheConnection()
{
    PieceServer server({"220 hello\r\n200 " + QByteArray(ControlChannel::MaxReplyLine, 'a'), "\r\n200 after\r\n"});
    Client client(server.port());
    ControlChannel &control = client.control;
    QVERIFY(client.connected);
    QCOMPARE(control.readReply(2000).code, 220);
    const FtpReply r = control.readReply(2000);
    QCOMPARE(r.code, 0);
    QVERIFY(!control.isOpen());
    QVERIFY2(control.error().contains(QLatin1String("longer than 65536 bytes")), qPrintable(control.error()));
    QCOMPARE(control.replyError(r), control.error());
}

QTEST_GUILESS_MAIN(tst_ControlChannel)
#include "tst_controlchannel.moc"
