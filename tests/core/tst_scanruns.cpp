#include "core/base/UserMessages.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanRuns.h"
#include "PgTestServer.h"

#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// The record of scan runs on both stores: what one connection records,
// another reads; a catalogue from before the table knows no runs and is
// not changed by being read.
class tst_ScanRuns : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void catalogueFromBeforeTheTableKnowsNoRun_data() { stores(); }
    void catalogueFromBeforeTheTableKnowsNoRun();
    void latestStartOfEachHost_data() { stores(); }
    void latestStartOfEachHost();
    void failedRecordIsTold();

private:
    void stores();
    QString where(const QString &store) const;
    PgTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_url;
    int m_databases = 0;
};

namespace {
struct Messages : UserMessages
{
    QStringList shown;
    void showMessage(const QString &t) override { shown << t; }
};
} // namespace

void tst_ScanRuns::initTestCase()
{
    if (!PgTestServer::binDir().isEmpty())
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void tst_ScanRuns::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_server.isRunning())
        return;
    const QString name = QStringLiteral("t%1").arg(++m_databases);
    QVERIFY2(m_server.createDatabase(name), qPrintable(m_server.error()));
    m_url = m_server.url(name);
}

void tst_ScanRuns::stores()
{
    QTest::addColumn<QString>("store");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

QString tst_ScanRuns::where(const QString &store) const
{
    return store == "postgresql" ? m_url : m_dir->filePath("DB");
}

#define SKIP_WITHOUT_SERVER(store)                                                                                     \
    if (store == "postgresql" && !m_server.isRunning())                                                                \
    QSKIP("PostgreSQL is not installed (Debian package postgresql)")

void tst_ScanRuns::catalogueFromBeforeTheTableKnowsNoRun()
{
    QFETCH(QString, store);
    SKIP_WITHOUT_SERVER(store);
    Catalogue cat;
    cat.open(where(store));
    QVERIFY(cat.database().record("scanrun").isEmpty());
    QVERIFY(!ScanRuns(cat.database()).lastStarted("H").isValid());
    QVERIFY(cat.database().record("scanrun").isEmpty());
}

void tst_ScanRuns::latestStartOfEachHost()
{
    QFETCH(QString, store);
    SKIP_WITHOUT_SERVER(store);
    Catalogue writer, reader;
    writer.open(where(store));
    reader.open(where(store));
    const QDateTime local(QDate(2030, 6, 1), QTime(23, 30, 15, 600));
    ScanRuns runs(writer.database());
    runs.record("H", local, local.addSecs(60));
    runs.record("H", local.addDays(-1), local.addDays(-1));
    runs.record("Other", local.addDays(3), local.addDays(3));
    runs.record("h", local.addDays(5), local.addDays(5));
    const QDateTime last = ScanRuns(reader.database()).lastStarted("H");
    QCOMPARE(last.timeSpec(), Qt::UTC);
    QCOMPARE(last, local.toUTC().addMSecs(-600)); // to the second
    QCOMPARE(ScanRuns(reader.database()).lastStarted("Other"), local.addDays(3).toUTC().addMSecs(-600));
    QVERIFY(!ScanRuns(reader.database()).lastStarted("Nobody").isValid());
    const QHash<QString, QDateTime> all = ScanRuns(reader.database()).lastStartedByHost();
    QCOMPARE(all.size(), 3); // "h" is a host of its own
    QCOMPARE(all.value("H"), last);
    QCOMPARE(all.value("h"), local.addDays(5).toUTC().addMSecs(-600));
}

// The end of a scan goes on whatever the catalogue says: the failure is told.
void tst_ScanRuns::failedRecordIsTold()
{
    Catalogue cat;
    cat.open(where("sqlite"));
    QSqlDatabase db = cat.database();
    db.close();
    Messages messages;
    ScanRuns(db).record("H", QDateTime::currentDateTime(), QDateTime::currentDateTime(), messages);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown[0].contains("H"), qPrintable(messages.shown[0]));
}

QTEST_GUILESS_MAIN(tst_ScanRuns)
#include "tst_scanruns.moc"
