#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueHosts.h"
#include "core/catalogue/ScanRuns.h"
#include "PgTestServer.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The hosts a catalogue holds, on both stores: each once, its files' bytes
// without the folders', and its last run where one is recorded.
class tst_CatalogueHosts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void hostsWithTheirTotals_data();
    void hostsWithTheirTotals();

private:
    PgTestServer m_server;
    int m_databases = 0;
};

void tst_CatalogueHosts::initTestCase()
{
    if (!PgTestServer::binDir().isEmpty())
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void tst_CatalogueHosts::hostsWithTheirTotals_data()
{
    QTest::addColumn<QString>("store");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

void tst_CatalogueHosts::hostsWithTheirTotals()
{
    QFETCH(QString, store);
    QTemporaryDir dir;
    QString where = dir.filePath("DB");
    if (store == "postgresql") {
        if (!m_server.isRunning())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        const QString name = QStringLiteral("h%1").arg(++m_databases);
        QVERIFY2(m_server.createDatabase(name), qPrintable(m_server.error()));
        where = m_server.url(name);
    }
    Catalogue cat;
    cat.open(where);
    QSqlQuery q(cat.database());
    const QString row = "INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES ('n', 'x', %1, '%2', %3, 0, %4, 0)";
    QVERIFY(q.exec(row.arg("4096", "b.example", "16", "1")));
    QVERIFY(q.exec(row.arg("6000000000", "b.example", "32", "2"))); // past 32 bits
    QVERIFY(q.exec(row.arg("10", "a.example", "32", "3")));
    const QDateTime started(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC);
    ScanRuns(cat.database()).record("b.example", started, started.addSecs(5));
    ScanRuns(cat.database()).record("gone.example", started, started); // a run, but no rows

    const QList<CatalogueHosts::Host> hosts = CatalogueHosts::all(cat);
    QCOMPARE(hosts.size(), 2);
    QCOMPARE(hosts[0].name, "a.example");
    QCOMPARE(hosts[0].entries, 1);
    QCOMPARE(hosts[0].bytes, 10.0);
    QVERIFY(!hosts[0].lastScan.isValid());
    QCOMPARE(hosts[1].name, "b.example");
    QCOMPARE(hosts[1].entries, 2);
    QCOMPARE(hosts[1].bytes, 6000000000.0);
    QCOMPARE(hosts[1].lastScan, started);
    QVERIFY(CatalogueHosts::holds(cat, "b.example"));
    QVERIFY(!CatalogueHosts::holds(cat, "B.example")); // as the tree matches it
    QVERIFY(!CatalogueHosts::holds(cat, "gone.example"));
    QVERIFY(!CatalogueHosts::holds(cat, QString()));
}

QTEST_GUILESS_MAIN(tst_CatalogueHosts)
#include "tst_cataloguehosts.moc"
