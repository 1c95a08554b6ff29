#include "core/base/NetrcFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_NetrcFile : public QObject
{
    Q_OBJECT
private slots:
    void findIn_data();
    void findIn();
    void passwordsOpenToOthersAreRefused();
};

void tst_NetrcFile::findIn_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    const QByteArray two = "machine ftp.one.example login ann password a1\n"
                           "machine ftp.two.example\n  login bob\n  password b2\n";
    QTest::newRow("first machine") << two << "ftp.one.example" << "" << true << "ann" << "a1";
    QTest::newRow("entry over several lines") << two << "ftp.two.example" << "" << true << "bob" << "b2";
    QTest::newRow("machine names ignore case") << two << "FTP.Two.Example" << "" << true << "bob" << "b2";
    QTest::newRow("unknown machine") << two << "ftp.three.example" << "" << false << "" << "";
    QTest::newRow("user given must match") << two << "ftp.one.example" << "bob" << false << "" << "";
    QTest::newRow("second entry for the user")
        << QByteArray("machine h login ann password a1 machine h login bob password b2") << "h" << "bob" << true << "bob"
        << "b2";
    QTest::newRow("default for the rest, wherever it stands")
        << QByteArray("default login anonymous password me@example\nmachine h login ann password a1\n") << "h" << ""
        << true << "ann" << "a1";
    QTest::newRow("default")
        << QByteArray("machine h login ann password a1\ndefault login anonymous password me@example\n") << "other" << ""
        << true << "anonymous" << "me@example";
    QTest::newRow("macro skipped to its blank line")
        << QByteArray("macdef init\nmachine h login macro password wrong\n\nmachine h login ann password a1\n") << "h"
        << "" << true << "ann" << "a1";
    QTest::newRow("comments and quoted words")
        << QByteArray("# machine h login no password no\nmachine h login \"ann smith\" password \"a \\\"1\\\"\" # end\n")
        << "h" << "" << true << "ann smith" << "a \"1\"";
    QTest::newRow("account is read past") << QByteArray("machine h login ann account acc password a1") << "h" << ""
                                          << true << "ann" << "a1";
    QTest::newRow("cut short") << QByteArray("machine h login") << "h" << "" << true << "" << "";
    QTest::newRow("empty") << QByteArray() << "h" << "" << false << "" << "";
}

void tst_NetrcFile::findIn()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(bool, found);
    const auto logon = NetrcFile::findIn(text, host, user);
    QCOMPARE(logon.has_value(), found);
    if (!found)
        return;
    QTEST(logon->user, "login");
    QTEST(logon->password, "password");
}

// As ftp does: a file others can read gives no password, and says why; a
// log-on without a password (anonymous, say) is still taken from it.
void tst_NetrcFile::passwordsOpenToOthersAreRefused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral(".netrc"));
    QString error;
    QVERIFY(!NetrcFile::find(path, QStringLiteral("h"), QString(), error));
    QVERIFY(error.isEmpty()); // no file: nothing to say
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("machine h login ann password a1\nmachine open login anonymous\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QVERIFY(!NetrcFile::find(path, QStringLiteral("h"), QString(), error));
    QVERIFY2(error.contains(QStringLiteral("can be read by others")) && error.contains(path), qPrintable(error));
    const auto open = NetrcFile::find(path, QStringLiteral("open"), QString(), error);
    QVERIFY(open && error.isEmpty());
    QCOMPARE(open->user, QStringLiteral("anonymous"));
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    const auto mine = NetrcFile::find(path, QStringLiteral("h"), QString(), error);
    QVERIFY(mine && error.isEmpty());
    QCOMPARE(mine->password, QStringLiteral("a1"));
}

QTEST_GUILESS_MAIN(tst_NetrcFile)
#include "tst_netrcfile.moc"
