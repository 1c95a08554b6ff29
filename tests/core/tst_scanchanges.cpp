#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanChanges.h"
#include "PgTestServer.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// What a scan changed keeps what changed and removed rows held before; the
// table gains the columns for it at the first scan that needs them.
class tst_ScanChanges : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void oldValuesKept_data();
    void oldValuesKept();

private:
    PgTestServer m_server;
    int m_databases = 0;
};

void tst_ScanChanges::initTestCase()
{
    if (!PgTestServer::binDir().isEmpty())
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void tst_ScanChanges::oldValuesKept_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<bool>("olderTable");
    for (const char *store : {"sqlite", "postgresql"}) {
        QTest::addRow("%s, scanned since the columns came", store) << store << false;
        QTest::addRow("%s, as opened", store) << store << true;
    }
}

void tst_ScanChanges::oldValuesKept()
{
    QFETCH(QString, store);
    QFETCH(bool, olderTable);
    QTemporaryDir dir;
    QString where = dir.filePath("DB");
    if (store == "postgresql") {
        if (!m_server.isRunning())
            QSKIP("PostgreSQL is not installed (Debian package postgresql)");
        const QString name = QStringLiteral("c%1").arg(++m_databases);
        QVERIFY2(m_server.createDatabase(name), qPrintable(m_server.error()));
        where = m_server.url(name);
    }
    Catalogue cat;
    cat.open(where);
    {
        QSqlQuery q(cat.database());
        if (!olderTable) { // as an earlier scan left it
            QVERIFY(q.exec("ALTER TABLE ScanChange ADD COLUMN OldSize DOUBLE PRECISION"));
            QVERIFY(q.exec("ALTER TABLE ScanChange ADD COLUMN OldLAC DOUBLE PRECISION"));
        }
        QVERIFY(q.exec("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES ('a', 'txt', 7, 'H', 32, 0, 5, 0)"));
    }
    ScanChanges changes(cat);
    changes.begin("H");
    changes.changed(5, 1200, 0.5);
    changes.changed(6, std::nullopt, 0);
    QCOMPARE(changes.removeSubtrees({5}, QByteArray()), 1);
    cat.flush();
    QVERIFY(cat.database().record("scanchange").contains("OldSize"));
    const QList<ScanChanges::Change> last = ScanChanges::last(cat, "H");
    QCOMPARE(last.size(), 3);
    QCOMPARE(last[0].oldSize.toLongLong(), 1200);
    QCOMPARE(last[0].oldLac, 0.5);
    QVERIFY(last[1].oldSize.isNull()); // stored as NULL by an older version
    QCOMPARE(last[2].kind, ScanChanges::Kind::Removed);
    QCOMPARE(last[2].path, QByteArray("a.txt"));
    QCOMPARE(last[2].oldSize.toLongLong(), 7);
}

QTEST_GUILESS_MAIN(tst_ScanChanges)
#include "tst_scanchanges.moc"
