#include "FtpTestServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// find's order and pages as a script reads them: --sort, then --after the
// Cursor of a page's last row, against one unpaged listing.
class tst_FindCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pagesJoinIntoTheWholeList_data();
    void pagesJoinIntoTheWholeList();
    void badOrdersAreRefused_data();
    void badOrdersAreRefused();

private:
    struct Result
    {
        int code;
        QByteArray out;
        QString err;
    };
    Result cli(const QStringList &args);
    QJsonArray rows(const QStringList &args);
    QTemporaryDir m_tree;
    QTemporaryDir m_data;
    std::unique_ptr<FtpTestServer> m_server;
};

tst_FindCommand::Result tst_FindCommand::cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), args + QStringList{"--data", m_data.path()});
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

QJsonArray tst_FindCommand::rows(const QStringList &args)
{
    const Result r = cli(QStringList{"find", "%", "--format", "json"} + args);
    if (r.code != 0)
        qWarning("%s", qPrintable(r.err));
    return QJsonDocument::fromJson(r.out).array();
}

void tst_FindCommand::initTestCase()
{
    // Sizes with ties, so the ID has to break them.
    for (int i = 0; i < 14; ++i)
        FtpTestServer::makeFile(m_tree.filePath(QStringLiteral("%1/f%2.bin").arg(i % 3 ? "pub" : "src").arg(i)),
                                100 * (i % 4));
    const auto kind = FtpTestServer::available(FtpTestServer::Kind::Vsftpd) ? FtpTestServer::Kind::Vsftpd
                                                                            : FtpTestServer::Kind::Pyftpdlib;
    if (!FtpTestServer::available(kind))
        QSKIP("no FTP server installed");
    m_server = std::make_unique<FtpTestServer>(kind);
    QVERIFY(m_server->start(m_tree.path()));
    QCOMPARE(cli({"scan", m_server->hostText()}).code, 0);
}

void tst_FindCommand::pagesJoinIntoTheWholeList_data()
{
    QTest::addColumn<QStringList>("order");
    QTest::newRow("size, largest first") << QStringList{"--sort", "size", "--order", "desc"};
    QTest::newRow("name") << QStringList{"--sort", "name"};
    QTest::newRow("path, files only") << QStringList{"--sort", "path", "--files"};
}

void tst_FindCommand::pagesJoinIntoTheWholeList()
{
    QFETCH(QStringList, order);
    const QJsonArray whole = rows(order);
    QVERIFY(whole.size() >= 14);
    QJsonArray paged;
    QString cursor;
    for (int page = 0; page < 20; ++page) {
        const QJsonArray got = rows(order + QStringList{"--limit", "4"} + (cursor.isEmpty() ? QStringList() : QStringList{"--after", cursor}));
        for (const QJsonValue &v : got)
            paged.append(v);
        if (got.size() < 4)
            break;
        cursor = got.last().toObject()["Cursor"].toString();
        QVERIFY(!cursor.isEmpty());
    }
    QCOMPARE(paged, whole);
    // The cursor alone names its order.
    const QString third = whole[2].toObject()["Cursor"].toString();
    const QJsonArray rest = rows({"--after", third, "--limit", "1"});
    QCOMPARE(rest.size(), 1);
    QCOMPARE(rest[0], whole[3]);
}

void tst_FindCommand::badOrdersAreRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown key") << QStringList{"--sort", "colour"};
    QTest::newRow("unknown way") << QStringList{"--sort", "size", "--order", "up"};
    QTest::newRow("order without a key") << QStringList{"--order", "desc"};
    QTest::newRow("not a cursor") << QStringList{"--after", "abc$"};
}

void tst_FindCommand::badOrdersAreRefused()
{
    QFETCH(QStringList, args);
    const Result r = cli(QStringList{"find", "%"} + args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith("harvex-cli: "), qPrintable(r.err));
    // A cursor of one order refused by another.
    const QString cursor = rows({"--sort", "size"}).first().toObject()["Cursor"].toString();
    QCOMPARE(cli({"find", "%", "--sort", "name", "--after", cursor}).code, 1);
}

QTEST_GUILESS_MAIN(tst_FindCommand)
#include "tst_findcommand.moc"
