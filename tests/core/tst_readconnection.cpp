#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ReadConnection.h"
#include "core/catalogue/SqliteStore.h"
#include "PgTestServer.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The searchers' connection cannot write, on either store, and a statement
// that runs too long is stopped.
class tst_ReadConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void writesFail_data();
    void writesFail();
    void longStatementsStop();
    void missingCatalogueIsSaid();

private:
    QList<ReadConnection *> connections();

    QTemporaryDir m_dir;
    PgTestServer m_server;
    QString m_pgUrl;
    std::vector<std::unique_ptr<ReadConnection>> m_kept;
};

void tst_ReadConnection::initTestCase()
{
    Catalogue cat;
    cat.open(m_dir.filePath("DB"));
    FileEntry e;
    e.name = "kept.txt";
    e.kind = FileEntry::Kind::File;
    cat.StoreEntry(e, 0, "h.example");
    cat.flush();
    m_kept.push_back(std::make_unique<ReadConnection>(m_dir.filePath("DB"), 300));
    if (PgTestServer::binDir().isEmpty())
        return;
    QVERIFY2(m_server.start() && m_server.createDatabase("read"), qPrintable(m_server.error()));
    Catalogue pg;
    pg.open(m_server.url("read"));
    pg.StoreEntry(e, 0, "h.example");
    pg.flush();
    m_kept.push_back(std::make_unique<ReadConnection>(m_server.url("read"), 300));
}

QList<ReadConnection *> tst_ReadConnection::connections()
{
    QList<ReadConnection *> all;
    for (const auto &c : m_kept)
        all << c.get();
    return all;
}

void tst_ReadConnection::writesFail_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("insert") << "INSERT INTO DB (Name, Host, ID) VALUES ('new', 'h.example', 99)";
    QTest::newRow("update") << "UPDATE DB SET Name = 'changed'";
    QTest::newRow("delete") << "DELETE FROM DB";
    QTest::newRow("drop") << "DROP TABLE DB";
    QTest::newRow("create") << "CREATE TABLE Other (x INTEGER)";
}

void tst_ReadConnection::writesFail()
{
    QFETCH(QString, sql);
    QFile file(SqliteStore::fileIn(m_dir.filePath("DB")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    file.close();
    for (ReadConnection *c : connections()) {
        c->startRequest();
        QSqlQuery q(c->database());
        QVERIFY2(!q.exec(sql), qPrintable(c->database().driverName()));
        QSqlQuery count(c->database());
        QVERIFY(count.exec("SELECT COUNT(*) FROM DB WHERE Name = 'kept'") && count.next());
        QCOMPARE(count.value(0).toInt(), 1);
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256), before);
}

// 300 ms: the statements would run for minutes.
void tst_ReadConnection::longStatementsStop()
{
    for (ReadConnection *c : connections()) {
        const bool pg = c->database().driverName() == "QPSQL";
        const QString endless = pg ? "SELECT pg_sleep(60)"
                                   : "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT COUNT(*) FROM n";
        c->startRequest();
        QElapsedTimer clock;
        clock.start();
        QSqlQuery q(c->database());
        QVERIFY(!q.exec(endless) || !q.next());
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(c->timedOut());
        // The next request has its own time, a longer one if it asks.
        c->startRequest(60000);
        QVERIFY(!c->timedOut());
        if (pg) {
            QSqlQuery shown(c->database());
            QVERIFY(shown.exec("SHOW statement_timeout") && shown.next());
            QCOMPARE(shown.value(0).toString(), QString("1min"));
        }
        c->startRequest();
        QSqlQuery again(c->database());
        QVERIFY2(again.exec("SELECT COUNT(*) FROM DB") && again.next(), qPrintable(again.lastError().text()));
    }
}

void tst_ReadConnection::missingCatalogueIsSaid()
{
    QVERIFY_THROWS_EXCEPTION(CatalogueError, ReadConnection(m_dir.filePath("nowhere"), 1000));
    QVERIFY(!QFile::exists(m_dir.filePath("nowhere")));
}

QTEST_GUILESS_MAIN(tst_ReadConnection)
#include "tst_readconnection.moc"
