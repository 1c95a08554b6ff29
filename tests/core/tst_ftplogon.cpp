#include "core/ftp/FtpLogon.h"

#include <QtTest>

class tst_FtpLogon : public QObject
{
    Q_OBJECT
private slots:
    void fromHostText_data();
    void fromHostText();
};

void tst_FtpLogon::fromHostText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("name") << "ftp.example.org" << "ftp.example.org" << 21;
    QTest::newRow("name and port") << "ftp.example.org:2121" << "ftp.example.org" << 2121;
    QTest::newRow("address and port") << "127.0.0.1:2121" << "127.0.0.1" << 2121;
    QTest::newRow("bare IPv6") << "::1" << "::1" << 21;
    QTest::newRow("bracketed IPv6") << "[::1]" << "::1" << 21;
    QTest::newRow("bracketed IPv6 and port") << "[2001:db8::7]:990" << "2001:db8::7" << 990;
    QTest::newRow("spaces around") << "  ftp.example.org  " << "ftp.example.org" << 21;
    QTest::newRow("port out of range stays 21") << "h:99999" << "h" << 21;
}

void tst_FtpLogon::fromHostText()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    const FtpLogon l = FtpLogon::fromHostText(text);
    QCOMPARE(l.host, host);
    QCOMPARE(int(l.port), port);
}

QTEST_GUILESS_MAIN(tst_FtpLogon)
#include "tst_ftplogon.moc"
