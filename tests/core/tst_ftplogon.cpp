#include "core/ftp/FtpLogon.h"

#include <QtTest>

class tst_FtpLogon : public QObject
{
    Q_OBJECT
private slots:
    void fromHostText_data();
    void fromHostText();
    void tlsNames();
};

void tst_FtpLogon::fromHostText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("tls");
    const int tryTls = int(FtpLogon::Tls::Try);
    const int implicit = int(FtpLogon::Tls::Implicit);
    QTest::newRow("name") << "ftp.example.org" << true << "ftp.example.org" << 21 << tryTls;
    QTest::newRow("name and port") << "ftp.example.org:2121" << true << "ftp.example.org" << 2121 << tryTls;
    QTest::newRow("address and port") << "127.0.0.1:2121" << true << "127.0.0.1" << 2121 << tryTls;
    QTest::newRow("bare IPv6") << "::1" << true << "::1" << 21 << tryTls;
    QTest::newRow("bracketed IPv6") << "[::1]" << true << "::1" << 21 << tryTls;
    QTest::newRow("bracketed IPv6 and port") << "[2001:db8::7]:2121" << true << "2001:db8::7" << 2121 << tryTls;
    QTest::newRow("spaces around") << "  ftp.example.org  " << true << "ftp.example.org" << 21 << tryTls;
    QTest::newRow("ftp:// address") << "ftp://ftp.example.org/" << true << "ftp.example.org" << 21 << tryTls;
    QTest::newRow("ftps:// is implicit TLS on 990") << "ftps://ftp.example.org" << true << "ftp.example.org" << 990 << implicit;
    QTest::newRow("ftps:// with a port") << "ftps://[::1]:2990" << true << "::1" << 2990 << implicit;
    QTest::newRow("port 990 is implicit TLS") << "ftp.example.org:990" << true << "ftp.example.org" << 990 << implicit;
    // Ports out of range are errors in every form, never wrapped to 16 bits.
    QTest::newRow("name, port too big") << "h:99999" << false << "h" << 21 << tryTls;
    QTest::newRow("IPv6, port too big") << "[::1]:99999" << false << "::1" << 21 << tryTls;
    QTest::newRow("port 0") << "h:0" << false << "h" << 21 << tryTls;
    QTest::newRow("port not a number") << "h:ftp" << false << "h" << 21 << tryTls;
    QTest::newRow("IPv6 port not a number") << "[::1]:x" << false << "::1" << 21 << tryTls;
    QTest::newRow("IPv6 without closing bracket") << "[::1:21" << false << "" << 21 << tryTls;
    QTest::newRow("garbage after IPv6") << "[::1]21" << false << "::1" << 21 << tryTls;
    QTest::newRow("empty") << "" << false << "" << 21 << tryTls;
}

void tst_FtpLogon::fromHostText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, tls);
    const FtpLogon l = FtpLogon::fromHostText(text);
    QCOMPARE(l.valid, valid);
    QCOMPARE(l.error.isEmpty(), valid);
    QCOMPARE(l.host, host);
    QCOMPARE(int(l.port), port);
    QCOMPARE(int(l.tls), tls);
}

void tst_FtpLogon::tlsNames()
{
    for (FtpLogon::Tls t : {FtpLogon::Tls::Off, FtpLogon::Tls::Try, FtpLogon::Tls::Require, FtpLogon::Tls::Implicit})
        QCOMPARE(FtpLogon::tlsFromName(FtpLogon::tlsName(t).toUpper(), FtpLogon::Tls::Off), t);
    QCOMPARE(FtpLogon::tlsFromName("sometimes", FtpLogon::Tls::Try), FtpLogon::Tls::Try);
}

QTEST_GUILESS_MAIN(tst_FtpLogon)
#include "tst_ftplogon.moc"
