#include "FtpTestServer.h"
#include "PgTestServer.h"
#include "RescanCommand.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// harvex-cli scan of several hosts, rescan, history and changes --run, as
// scripts and timers run them: the summary table, the exit code and what
// the catalogue then holds.
class tst_BatchCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void hostsFileTellsEachHost();
    void rescanChoosesItsHosts();
    void ageSeconds_data();
    void ageSeconds();
    void historyAndOlderChanges();
    void twoRescansShareTheHostsOfAPostgresCatalogue();

private:
    struct Run
    {
        int code = -1;
        QString out, err;
        // Host -> the summary table's fields.
        QHash<QString, QStringList> rows() const;
    };
    Run cli(const QStringList &args) const;
    QProcess *startCli(const QStringList &args) const;
    bool startServers(int n, QList<FtpTestServer *> &servers, QList<QTemporaryDir *> &trees);
    void setRunsStarted(const QString &host, const QString &when);

    QTemporaryDir m_data;
    QTemporaryDir m_home; // no .netrc: every log-on is anonymous
    std::vector<std::unique_ptr<FtpTestServer>> m_servers;
    std::vector<std::unique_ptr<QTemporaryDir>> m_trees;
};

QHash<QString, QStringList> tst_BatchCommand::Run::rows() const
{
    QHash<QString, QStringList> rows;
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1)) {
        const QStringList fields = line.split(u'\t');
        rows.insert(fields.first(), fields);
    }
    return rows;
}

tst_BatchCommand::Run tst_BatchCommand::cli(const QStringList &args) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_home.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(HARVEX_CLI), args);
    p.closeWriteChannel();
    Run r;
    if (p.waitForFinished(120000))
        r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QProcess *tst_BatchCommand::startCli(const QStringList &args) const
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_home.path());
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(HARVEX_CLI), args);
    p->closeWriteChannel();
    return p;
}

void tst_BatchCommand::initTestCase()
{
    if (!FtpTestServer::available(FtpTestServer::Kind::Pyftpdlib))
        QSKIP("pyftpdlib not available");
}

// Server i serves a tree of its own: files t<i>.txt, pub/linux/l<i>.iso, pub/o<i>.txt.
static void fillTree(const QString &root, int i, int extra = 0)
{
    for (const QString &f : {QStringLiteral("t%1.txt"), QStringLiteral("pub/linux/l%1.iso"), QStringLiteral("pub/o%1.txt")})
        FtpTestServer::makeFile(QDir(root).filePath(f.arg(i)), 10 + i);
    for (int e = 0; e < extra; ++e)
        FtpTestServer::makeFile(QDir(root).filePath(QStringLiteral("more/d%1/f%2.dat").arg(e / 50).arg(e)), 1);
}

void tst_BatchCommand::setRunsStarted(const QString &host, const QString &when)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "age");
        db.setDatabaseName(m_data.filePath("DB/DB.sqlite"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        q.prepare("UPDATE ScanRun SET Started = ? WHERE Host = ?");
        q.addBindValue(when);
        q.addBindValue(host);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase("age");
}

// Two good hosts (vsftpd, pyftpdlib), one from a start folder, one that
// refuses the anonymous log-on, one where nothing listens.
void tst_BatchCommand::hostsFileTellsEachHost()
{
    const bool vsftpd = FtpTestServer::available(FtpTestServer::Kind::Vsftpd);
    for (int i = 0; i < 4; ++i) {
        m_trees.push_back(std::make_unique<QTemporaryDir>());
        fillTree(m_trees.back()->path(), i);
        const auto kind = i == 0 && vsftpd ? FtpTestServer::Kind::Vsftpd : FtpTestServer::Kind::Pyftpdlib;
        m_servers.push_back(std::make_unique<FtpTestServer>(kind));
        const bool started = i == 3 ? m_servers.back()->start(m_trees.back()->path(), "owner", "secret")
                                    : m_servers.back()->start(m_trees.back()->path());
        QVERIFY2(started, qPrintable(m_servers.back()->error()));
    }
    const QString nobody = QStringLiteral("127.0.0.1:%1").arg(FtpTestServer::freePort());
    QFile hosts(m_data.filePath("hosts.txt"));
    QVERIFY(hosts.open(QIODevice::WriteOnly));
    hosts.write(QStringLiteral("# the lab\n%1\n\n  %2   # pyftpdlib\n%3/pub/linux\n%4\n%5\n")
                    .arg(m_servers[0]->hostText(), m_servers[1]->hostText(), m_servers[2]->hostText(),
                         m_servers[3]->hostText(), nobody)
                    .toUtf8());
    hosts.close();
    const Run r = cli({"scan", "--hosts-file", hosts.fileName(), "--parallel-hosts", "3", "--data", m_data.path()});
    QCOMPARE(r.code, 2); // the worst host's: not reached
    const QHash<QString, QStringList> rows = r.rows();
    QCOMPARE(rows.size(), 5);
    // Host, Folder, Result, Entries, Folders, Added, Changed, Removed, Seconds, Exit
    QCOMPARE(rows[m_servers[0]->hostText()].mid(1, 6), (QStringList{"/", "complete", "5", "3", "5", "0"}));
    QCOMPARE(rows[m_servers[1]->hostText()].mid(1, 6), (QStringList{"/", "complete", "5", "3", "5", "0"}));
    QCOMPARE(rows[m_servers[2]->hostText()].mid(1, 6), (QStringList{"/pub/linux", "complete", "1", "1", "1", "0"}));
    QCOMPARE(rows[m_servers[3]->hostText()].at(2), "log-on refused");
    QCOMPARE(rows[nobody].at(2), "refused");
    QCOMPARE(rows[m_servers[0]->hostText()].last(), "0");
    QCOMPARE(rows[nobody].last(), "2");
    QVERIFY2(r.err.contains(nobody + ": Host \"" + nobody + "\" is not available: connection refused"), qPrintable(r.err));
    // The start folder's host holds the folders above it and what is below.
    const Run stored = cli({"sql", "SELECT Host, COUNT(*) FROM DB GROUP BY Host ORDER BY Host", "--data", m_data.path()});
    QCOMPARE(stored.out.count(u'\n'), 4);
    QVERIFY2(stored.out.contains(m_servers[2]->hostText() + "\t3\n"), qPrintable(stored.out));
    const Run listed = cli({"hosts", "--long", "--data", m_data.path()});
    QVERIFY2(listed.out.contains(nobody + "\t0\t0\t1\t"), qPrintable(listed.out));
    QVERIFY2(listed.out.contains("\tlog-on refused\t"), qPrintable(listed.out));
    const Run one = cli({"history", m_servers[1]->hostText(), "--data", m_data.path()});
    QCOMPARE(one.out.count(u'\n'), 2);
    // pyftpdlib's "STAT ." lists what its MLSD does, on the control connection.
    QVERIFY2(one.out.contains("\tcomplete\t5\t3\t5\t0\t0\t0\tSTAT .\t220 "), qPrintable(one.out));
}

// The hosts of the test before: the vsftpd host scanned long ago; the one
// that refuses the log-on and the one not reached never completed.
void tst_BatchCommand::rescanChoosesItsHosts()
{
    if (m_servers.empty())
        QSKIP("needs the hosts of hostsFileTellsEachHost");
    const QString old = m_servers[0]->hostText();
    setRunsStarted(old, "2020-01-01T00:00:00Z");
    const auto chosen = [](const Run &r) {
        QStringList hosts = r.rows().keys();
        hosts.sort();
        return hosts;
    };
    const auto sorted = [](QStringList l) {
        l.sort();
        return l;
    };
    const Run failed = cli({"rescan", "--failed", "--data", m_data.path()});
    const QHash<QString, QStringList> failedRows = failed.rows();
    QCOMPARE(failedRows.size(), 2);
    QVERIFY(failedRows.contains(m_servers[3]->hostText()));
    QCOMPARE(failed.code, 2);
    const Run aged = cli({"rescan", "--older-than", "7d", "--data", m_data.path()});
    QCOMPARE(chosen(aged), sorted(QStringList{old} + failedRows.keys()));
    QCOMPARE(aged.rows()[old].at(2), "complete");
    // Scanned just now, the old one is no longer due.
    const Run again = cli({"rescan", "--older-than", "7d", "--parallel-hosts", "1", "--data", m_data.path()});
    QCOMPARE(chosen(again), sorted(failedRows.keys()));
    // The start folder is the rescan's too.
    const Run all = cli({"rescan", "--data", m_data.path()});
    QCOMPARE(all.rows().size(), 5);
    QCOMPARE(all.rows()[m_servers[2]->hostText()].mid(1, 3), (QStringList{"/pub/linux", "complete", "1"}));
    QCOMPARE(cli({"rescan", "--older-than", "1x", "--data", m_data.path()}).code, 1);
}

void tst_BatchCommand::ageSeconds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("days") << "7d" << qint64(7 * 86400);
    QTest::newRow("bare number") << "2" << qint64(2 * 86400);
    QTest::newRow("hours") << "12h" << qint64(12 * 3600);
    QTest::newRow("minutes") << " 30m " << qint64(1800);
    QTest::newRow("weeks") << "2w" << qint64(2 * 604800);
    QTest::newRow("seconds") << "90s" << qint64(90);
    QTest::newRow("unknown unit") << "3y" << qint64(-1);
    QTest::newRow("negative") << "-1d" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void tst_BatchCommand::ageSeconds()
{
    QFETCH(QString, text);
    QFETCH(qint64, seconds);
    QCOMPARE(RescanCommand::ageSeconds(text).value_or(-1), seconds);
}

// Each run keeps its lines until [SCAN] Keep Runs later runs have come.
void tst_BatchCommand::historyAndOlderChanges()
{
    QTemporaryDir tree, data;
    fillTree(tree.path(), 7);
    FtpTestServer server(FtpTestServer::Kind::Pyftpdlib);
    QVERIFY(server.start(tree.path()));
    const QString host = server.hostText();
    QFile settings(data.filePath("Harvex.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[SCAN]\nKeep Runs=2\n");
    settings.close();
    QCOMPARE(cli({"scan", host, "--data", data.path()}).code, 0);
    QVERIFY(QFile::remove(tree.filePath("t7.txt")));
    FtpTestServer::makeFile(tree.filePath("n.txt"), 1);
    QCOMPARE(cli({"scan", host, "--data", data.path()}).code, 0);
    const auto lines = [&](const QStringList &extra) {
        const Run r = cli(QStringList{"changes", host, "--data", data.path()} + extra);
        QStringList kept;
        for (const QString &line : r.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
            kept << line.section(u'\t', 0, 0) + u' ' + line.section(u'\t', 2);
        kept.sort();
        return r.code == 0 ? kept : QStringList{"exit " + QString::number(r.code) + ": " + r.err.trimmed()};
    };
    QCOMPARE(lines({}), (QStringList{"added /n.txt", "removed /t7.txt"}));
    QCOMPARE(lines({"--run", "2"}), lines({}));
    // The first scan added every row; one removed since has no path to show.
    QCOMPARE(lines({"--run", "1"}), (QStringList{"added /pub", "added /pub/linux", "added /pub/linux/l7.iso",
                                                  "added /pub/o7.txt"}));
    QVERIFY(lines({"--run", "3"}).first().startsWith("exit 1: " + host + " has no run 3"));
    QCOMPARE(cli({"scan", host, "--data", data.path()}).code, 0);
    QCOMPARE(lines({}), QStringList());
    QVERIFY(lines({"--run", "1"}).first().contains("no longer kept"));
    QCOMPARE(lines({"--run", "2"}), (QStringList{"added /n.txt", "removed /t7.txt"}));
    const Run history = cli({"history", host, "--data", data.path()});
    const QStringList runs = history.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(runs.size(), 4);
    QVERIFY2(runs[1].startsWith("3\t"), qPrintable(history.out));
    QVERIFY2(runs[2].section(u'\t', 6, 8) == "1\t0\t1", qPrintable(history.out));
    QCOMPARE(cli({"changes", host, "--run", "x", "--data", data.path()}).code, 1);
}

// Two rescans at once on one database: every host is scanned by one of
// them, once; the other leaves it.
void tst_BatchCommand::twoRescansShareTheHostsOfAPostgresCatalogue()
{
    if (PgTestServer::binDir().isEmpty())
        QSKIP("PostgreSQL is not installed (Debian package postgresql)");
    PgTestServer pg;
    QVERIFY2(pg.start(), qPrintable(pg.error()));
    QVERIFY2(pg.createDatabase("shared"), qPrintable(pg.error()));
    const QString url = pg.url("shared");
    QTemporaryDir data;
    std::vector<std::unique_ptr<FtpTestServer>> servers;
    std::vector<std::unique_ptr<QTemporaryDir>> trees;
    QStringList hosts;
    for (int i = 0; i < 6; ++i) {
        trees.push_back(std::make_unique<QTemporaryDir>());
        fillTree(trees.back()->path(), i, 600);
        servers.push_back(std::make_unique<FtpTestServer>(FtpTestServer::Kind::Pyftpdlib));
        QVERIFY(servers.back()->start(trees.back()->path()));
        hosts << servers.back()->hostText();
    }
    QCOMPARE(cli(QStringList{"scan"} + hosts + QStringList{"--db", url, "--data", data.path()}).code, 0);
    const QStringList rescan{"rescan", "--parallel-hosts", "1", "--db", url, "--data", data.path()};
    std::unique_ptr<QProcess> first(startCli(rescan));
    // The second starts once the first has taken its first host.
    QString firstErr;
    QTRY_VERIFY_WITH_TIMEOUT((firstErr += QString::fromUtf8(first->readAllStandardError())).contains("Scanning of Host"), 30000);
    std::unique_ptr<QProcess> second(startCli(rescan));
    QVERIFY(first->waitForFinished(120000));
    QVERIFY(second->waitForFinished(120000));
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(second->exitCode(), 0);
    Run a, b;
    a.out = QString::fromUtf8(first->readAllStandardOutput());
    b.out = QString::fromUtf8(second->readAllStandardOutput());
    QStringList byFirst, bySecond;
    for (const QString &h : hosts) {
        const QString ra = a.rows().value(h).value(2), rb = b.rows().value(h).value(2);
        QVERIFY2((ra == "complete") != (rb == "complete"), qPrintable(h + ": " + ra + " / " + rb));
        (ra == "complete" ? byFirst : bySecond) << h;
        const Run history = cli({"history", h, "--db", url, "--data", data.path()});
        QCOMPARE(history.out.count(u'\n'), 3); // the first scan and one rescan
    }
    QVERIFY2(!byFirst.isEmpty() && !bySecond.isEmpty(), qPrintable(byFirst.join(' ') + " | " + bySecond.join(' ')));
}

QTEST_GUILESS_MAIN(tst_BatchCommand)
#include "tst_batchcommand.moc"
