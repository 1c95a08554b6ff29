#include "core/base/UserMessages.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanChanges.h"
#include "core/catalogue/ScanRuns.h"
#include "PgTestServer.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// The record of scan runs on both stores: what one connection records,
// another reads, numbered per host; a catalogue from before the table, or
// with its first three columns only, gains the rest when opened.
class tst_ScanRuns : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void catalogueFromBeforeGainsTheColumns_data() { stores(); }
    void catalogueFromBeforeGainsTheColumns();
    void runsKeepEveryField_data() { stores(); }
    void runsKeepEveryField();
    void statusTellsAnsweredAndComplete();
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

// An old ScanRun of three columns, its ScanChange without runs, and the
// version before: the open adds the columns, numbers the runs by start and
// gives the old lines to the host's latest run.
void tst_ScanRuns::catalogueFromBeforeGainsTheColumns()
{
    QFETCH(QString, store);
    SKIP_WITHOUT_SERVER(store);
    {
        Catalogue cat;
        cat.open(where(store));
        QSqlQuery q(cat.database());
        for (const char *sql : {"DROP TABLE ScanRun", "ALTER TABLE ScanChange DROP COLUMN Run",
                                "CREATE TABLE ScanRun (Host TEXT NOT NULL, Started TEXT NOT NULL, Ended TEXT NOT NULL)",
                                "INSERT INTO ScanRun VALUES ('H', '2030-01-02T00:00:00Z', '2030-01-02T00:01:00Z')",
                                "INSERT INTO ScanRun VALUES ('H', '2030-01-01T00:00:00Z', '2030-01-01T00:01:00Z')",
                                "INSERT INTO ScanChange (Host, Change, ID) VALUES ('H', 'added', 7)"})
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text() + " " + sql));
        const char *older = store == "postgresql" ? "DELETE FROM HarvexSchema WHERE Version > 2" : "PRAGMA user_version = 1";
        QVERIFY2(q.exec(older), qPrintable(q.lastError().text()));
    }
    Catalogue cat;
    cat.open(where(store));
    const QList<ScanRun> runs = ScanRuns(cat.database()).history("H");
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].run, 2);
    QCOMPARE(runs[0].started, QDateTime(QDate(2030, 1, 2), QTime(0, 0), Qt::UTC));
    QCOMPARE(runs[1].run, 1);
    QCOMPARE(runs[0].result, ScanRun::Result::Unknown);
    QCOMPARE(ScanChanges::ofRun(cat, "H", 2).size(), 1);
    QCOMPARE(ScanChanges::last(cat, "H").size(), 1);
    ScanRun next;
    next.host = "H";
    next.started = next.ended = QDateTime::currentDateTimeUtc();
    QCOMPARE(ScanRuns(cat.database()).record(next), 3);
}

void tst_ScanRuns::runsKeepEveryField()
{
    QFETCH(QString, store);
    SKIP_WITHOUT_SERVER(store);
    Catalogue writer, reader;
    writer.open(where(store));
    reader.open(where(store));
    ScanRun run;
    run.host = "H";
    run.started = QDateTime(QDate(2030, 6, 1), QTime(10, 0, 0));
    run.ended = run.started.addSecs(90);
    run.result = ScanRun::Result::LostConnection;
    run.entries = 5000000000LL;
    run.folders = 12;
    run.added = 3;
    run.changed = 4;
    run.removed = 5;
    run.unreadLines = 6;
    run.method = "MLSD";
    run.greeting = "220 " + QString(2 * ScanRun::GreetingSize, u'g');
    run.startPath = QByteArray("pub/a b%/\xff", 10);
    ScanRuns runs(writer.database());
    QCOMPARE(runs.record(run), 1);
    ScanRun other = run;
    other.host = "Other";
    QCOMPARE(runs.record(other), 1);
    run.started = run.started.addDays(1);
    run.result = ScanRun::Result::Complete;
    QCOMPARE(runs.record(run), 2);
    const QList<ScanRun> history = ScanRuns(reader.database()).history("H");
    QCOMPARE(history.size(), 2);
    const ScanRun &first = history[1];
    QCOMPARE(first.run, 1);
    QCOMPARE(first.result, ScanRun::Result::LostConnection);
    QCOMPARE(first.started, run.started.addDays(-1).toUTC());
    QCOMPARE(first.ended, run.ended.toUTC());
    QCOMPARE(first.entries, 5000000000LL);
    QCOMPARE((QList<qint64>{first.folders, first.added, first.changed, first.removed, first.unreadLines}),
             (QList<qint64>{12, 3, 4, 5, 6}));
    QCOMPARE(first.method, "MLSD");
    QCOMPARE(first.greeting.size(), ScanRun::GreetingSize);
    QCOMPARE(first.startPath, run.startPath);
    QCOMPARE(ScanRuns(reader.database()).last("H")->result, ScanRun::Result::Complete);
}

void tst_ScanRuns::statusTellsAnsweredAndComplete()
{
    Catalogue cat;
    cat.open(where("sqlite"));
    ScanRuns runs(cat.database());
    const QDateTime t0(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC);
    const QList<ScanRun::Result> results{ScanRun::Result::Complete, ScanRun::Result::LogonRefused,
                                         ScanRun::Result::Unreachable};
    for (int i = 0; i < results.size(); ++i) {
        ScanRun r;
        r.host = "H";
        r.started = r.ended = t0.addDays(i);
        r.result = results[i];
        runs.record(r);
    }
    const ScanRuns::Status s = runs.statusByHost().value("H");
    QCOMPARE(s.last.result, ScanRun::Result::Unreachable);
    QCOMPARE(s.lastAnswered, t0.addDays(1)); // a refused log-on is an answer
    QCOMPARE(s.lastComplete, t0);
    for (ScanRun::Result r : results)
        QCOMPARE(ScanRun::resultFrom(ScanRun::resultText(r)), r);
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
    ScanRun run;
    run.host = "H";
    run.started = run.ended = QDateTime::currentDateTime();
    QCOMPARE(ScanRuns(db).record(run, messages), 0);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown[0].contains("H"), qPrintable(messages.shown[0]));
}

QTEST_GUILESS_MAIN(tst_ScanRuns)
#include "tst_scanruns.moc"
