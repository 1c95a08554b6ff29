#include "app/LogChangeLine.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

// Which scan a change line of the Log belongs to.
class tst_LogChangeLine : public QObject
{
    Q_OBJECT
private slots:
    void hostOf_data();
    void hostOf();
};

void tst_LogChangeLine::hostOf_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("host");
    const QString start = "   Scanning of Host ftp.example.org:2121 started:    11.12.2026 10:00:00\n";
    QTest::newRow("its scan") << start + "   Scanning complete. Scan time:0 sec\n   Added 3, changed 1, removed 0"
                              << "ftp.example.org:2121";
    QTest::newRow("the nearest scan")
        << "   Scanning of Host a started:\n   Added 1, changed 0, removed 0\n" + start + "   Added 0, changed 0, removed 2"
        << "ftp.example.org:2121";
    QTest::newRow("its start has left the log")
        << start + "   Added 1, changed 0, removed 0\n   Added 0, changed 0, removed 2" << "";
    QTest::newRow("not a change line") << start + "   Scanning complete. Scan time:0 sec" << "";
    QTest::newRow("a name that only looks like one") << start + "   Added many, changed 1, removed 0" << "";
}

void tst_LogChangeLine::hostOf()
{
    QFETCH(QString, log);
    QFETCH(QString, host);
    QTextDocument doc(log);
    QCOMPARE(LogChangeLine::hostOf(doc.lastBlock()), host);
}

QTEST_MAIN(tst_LogChangeLine)
#include "tst_logchangeline.moc"
