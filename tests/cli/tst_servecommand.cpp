#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// serve's options: what it refuses before it listens anywhere. Its answers
// are tests/web's.
class tst_ServeCommand : public QObject
{
    Q_OBJECT
private slots:
    void refusedBeforeListening_data();
    void refusedBeforeListening();

private:
    QTemporaryDir m_data;
};

void tst_ServeCommand::refusedBeforeListening_data()
{
    QFile shortToken(m_data.filePath("short"));
    shortToken.open(QIODevice::WriteOnly);
    shortToken.write("abc\n");
    shortToken.close();
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("another address without a token") << QStringList{"--listen", "0.0.0.0:0"} << "--token-file";
    QTest::newRow("no address") << QStringList{"--listen", "nowhere:80"} << "--listen takes";
    QTest::newRow("no port") << QStringList{"--listen", "127.0.0.1:http"} << "--listen takes";
    QTest::newRow("port too large") << QStringList{"--listen", "127.0.0.1:70000"} << "--listen takes";
    QTest::newRow("missing token file") << QStringList{"--token-file", m_data.filePath("none")} << "Cannot read the token file";
    QTest::newRow("token too short") << QStringList{"--token-file", shortToken.fileName()} << "shorter than 8";
    QTest::newRow("bad timeout") << QStringList{"--listen", "127.0.0.1:0", "--timeout", "soon"} << "--timeout takes";
    QTest::newRow("no catalogue") << QStringList{"--listen", "127.0.0.1:0"} << "There is no catalogue";
}

void tst_ServeCommand::refusedBeforeListening()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QProcess p;
    p.start(QStringLiteral(HARVEX_CLI), QStringList{"serve", "--data", m_data.path()} + args);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(said), qPrintable(err));
    QVERIFY(!err.contains("Serving"));
}

QTEST_GUILESS_MAIN(tst_ServeCommand)
#include "tst_servecommand.moc"
