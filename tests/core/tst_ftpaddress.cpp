#include "core/ftp/FtpAddress.h"

#include <QtTest>

class tst_FtpAddress : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void tst_FtpAddress::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("hostText");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("startPath");
    QTest::newRow("host") << "ftp.example.org" << true << "ftp.example.org" << "" << QByteArray();
    QTest::newRow("port and folder") << "ftp://ftp.example.org:2121/pub/linux/" << true << "ftp://ftp.example.org:2121"
                                     << "" << QByteArray("pub/linux");
    QTest::newRow("user, folder without scheme") << "ann@host/pub" << true << "host" << "ann" << QByteArray("pub");
    QTest::newRow("user holding @") << "ftps://ann%40example.org@host:990/a" << true << "ftps://host:990"
                                    << "ann@example.org" << QByteArray("a");
    QTest::newRow("IPv6") << "[::1]:21/x" << true << "[::1]:21" << "" << QByteArray("x");
    QTest::newRow("escaped bytes stay bytes") << "host/My%20Files/%E9t%C3%A9" << true << "host" << ""
                                              << QByteArray("My Files/\xe9t\xc3\xa9");
    QTest::newRow("escaped slash refused") << "host/a%2Fb" << false << "" << "" << QByteArray();
    QTest::newRow("empty steps dropped") << "host//pub///x" << true << "host" << "" << QByteArray("pub/x");
    QTest::newRow("top") << "host/" << true << "host" << "" << QByteArray();
    QTest::newRow("dot-dot refused") << "host/pub/../etc" << false << "" << "" << QByteArray();
    QTest::newRow("dot refused") << "host/./pub" << false << "" << "" << QByteArray();
    QTest::newRow("CR refused") << "host/pub%0D%0ADELE%20x" << false << "" << "" << QByteArray();
    QTest::newRow("NUL refused") << "host/a%00b" << false << "" << "" << QByteArray();
    QTest::newRow("bad port") << "host:99999/pub" << false << "" << "" << QByteArray();
    QTest::newRow("no host") << "ftp:///pub" << false << "" << "" << QByteArray();
}

void tst_FtpAddress::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const FtpAddress a = FtpAddress::parse(text);
    QCOMPARE(a.valid, valid);
    if (!valid) {
        QVERIFY(!a.error.isEmpty());
        return;
    }
    QTEST(a.hostText, "hostText");
    QTEST(a.user, "user");
    QTEST(a.startPath, "startPath");
}

QTEST_GUILESS_MAIN(tst_FtpAddress)
#include "tst_ftpaddress.moc"
