#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanLock.h"
#include "core/catalogue/SqlStatement.h"
#include "PgTestServer.h"

#include <QProcess>
#include <unistd.h>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

// One scan of a host at a time on both stores: a second writer is refused
// while the first holds the lock, and a lock whose scan died does not block.
class tst_ScanLock : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void secondWriterIsRefused_data() { stores(); }
    void secondWriterIsRefused();
    void leftLockIsTakenOverWhenItsScanDied_data();
    void leftLockIsTakenOverWhenItsScanDied();
    void refreshKeepsAnotherMachinesLock();

private:
    void stores();
    QString where(const QString &store) const;
    PgTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_url;
    int m_databases = 0;
};

namespace {
QString stamp(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODate);
}

// A process that ran and ended: its PID names no process for a while.
qint64 deadPid()
{
    QProcess p;
    p.start(QStringLiteral("/bin/true"), {});
    p.waitForFinished(30000);
    return p.processId() > 0 ? p.processId() : 0x7ffffff0;
}

void leaveLock(const QSqlDatabase &db, const QString &machine, const QString &boot, qint64 pid, const QDateTime &beat)
{
    ScanLock probe(db);
    QVERIFY(probe.claim("H")); // makes the table
    SqlStatement::run(db, "UPDATE ScanLock SET Machine = ?, Boot = ?, Pid = ?, Heartbeat = ? WHERE Host = 'H'",
                      {machine, boot, pid, stamp(beat)});
}
} // namespace

void tst_ScanLock::initTestCase()
{
    if (!PgTestServer::binDir().isEmpty())
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void tst_ScanLock::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_server.isRunning())
        return;
    const QString name = QStringLiteral("l%1").arg(++m_databases);
    QVERIFY2(m_server.createDatabase(name), qPrintable(m_server.error()));
    m_url = m_server.url(name);
}

void tst_ScanLock::stores()
{
    QTest::addColumn<QString>("store");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

QString tst_ScanLock::where(const QString &store) const
{
    return store == "postgresql" ? m_url : m_dir->filePath("DB");
}

#define SKIP_WITHOUT_SERVER(store)                                                                                     \
    if (store == "postgresql" && !m_server.isRunning())                                                                \
    QSKIP("PostgreSQL is not installed (Debian package postgresql)")

void tst_ScanLock::secondWriterIsRefused()
{
    QFETCH(QString, store);
    SKIP_WITHOUT_SERVER(store);
    Catalogue first, second;
    first.open(where(store));
    second.open(where(store));
    QVERIFY(ScanLock(first.database()).claim("H"));
    // The same process holds it: a second scanner in it is refused all the same.
    QVERIFY(!ScanLock(second.database()).claim("H"));
    QVERIFY(ScanLock(second.database()).claim("Other"));
    ScanLock(first.database()).release("H");
    QVERIFY(ScanLock(second.database()).claim("H"));
}

void tst_ScanLock::leftLockIsTakenOverWhenItsScanDied_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("boot");
    QTest::addColumn<bool>("livePid");
    QTest::addColumn<int>("beatAgeSecs");
    QTest::addColumn<bool>("takenOver");
    const QString here = QSysInfo::machineHostName();
    const QString thisBoot = QString::fromLatin1(QSysInfo::bootUniqueId());
    // The live PID is this process's parent's: running, and not this one.
    QTest::newRow("here, process gone") << here << thisBoot << false << 0 << true;
    QTest::newRow("this process, release never written") << here << thisBoot << true << -1 << true;
    QTest::newRow("here, process running") << here << thisBoot << true << 3600 << false;
    QTest::newRow("here, before a restart") << here << "another boot" << true << 0 << true;
    QTest::newRow("elsewhere, fresh heartbeat") << "elsewhere" << thisBoot << false << 10 << false;
    QTest::newRow("elsewhere, stale heartbeat") << "elsewhere" << thisBoot << true
                                                << ScanLock::StaleAfterSecs + 60 << true;
}

void tst_ScanLock::leftLockIsTakenOverWhenItsScanDied()
{
    QFETCH(QString, machine);
    QFETCH(QString, boot);
    QFETCH(bool, livePid);
    QFETCH(int, beatAgeSecs);
    QFETCH(bool, takenOver);
    Catalogue left, next;
    left.open(where("sqlite"));
    next.open(where("sqlite"));
    // beatAgeSecs -1: this process's own row, as a scan whose catalogue
    // server went away before the release leaves it.
    const qint64 pid = beatAgeSecs < 0 ? QCoreApplication::applicationPid() : livePid ? qint64(getppid()) : deadPid();
    leaveLock(left.database(), machine, boot, pid, QDateTime::currentDateTimeUtc().addSecs(-qMax(0, beatAgeSecs)));
    if (beatAgeSecs < 0) {
        ScanLock(left.database()).release("H");
        SqlStatement::run(left.database(), "INSERT INTO ScanLock (Host, Machine, Boot, Pid, Heartbeat) VALUES "
                                           "('H', ?, ?, ?, ?)",
                          {machine, boot, pid, stamp(QDateTime::currentDateTimeUtc())});
    }
    QCOMPARE(ScanLock(next.database()).claim("H"), takenOver);
    // Taken over, it is this process's: another claim from here is refused.
    if (takenOver)
        QVERIFY(!ScanLock(left.database()).claim("H"));
}

// Only the lock's own process refreshes or releases it.
void tst_ScanLock::refreshKeepsAnotherMachinesLock()
{
    Catalogue cat;
    cat.open(where("sqlite"));
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-ScanLock::StaleAfterSecs - 60);
    leaveLock(cat.database(), "elsewhere", "b", 42, old);
    ScanLock lock(cat.database());
    lock.refresh("H");
    lock.release("H");
    QSqlQuery q = SqlStatement::run(cat.database(), "SELECT Machine, Heartbeat FROM ScanLock WHERE Host = 'H'");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("elsewhere"));
    QCOMPARE(q.value(1).toString(), stamp(old));
}

QTEST_GUILESS_MAIN(tst_ScanLock)
#include "tst_scanlock.moc"
