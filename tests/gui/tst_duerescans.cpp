#include "app/DueRescans.h"
#include "core/base/IniFile.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanRuns.h"
#include "widgets/UiSeam.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// File > "Rescan Due Hosts": which hosts, in which order, with which
// log-ons, and a Cancel that ends the round.
class tst_DueRescans : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void dueHostsOneAfterAnother();
    void cancelEndsTheRound();
    void nothingDueIsSaid();

private:
    void addRun(const QString &host, int daysAgo, ScanRun::Result result);
    QTemporaryDir m_dir;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<Catalogue> m_cat;
    std::unique_ptr<IniFile> m_settings;
    QStringList m_told;
    QStringList m_scans; // host user password
};

void tst_DueRescans::addRun(const QString &host, int daysAgo, ScanRun::Result result)
{
    ScanRun run;
    run.host = host;
    run.started = run.ended = QDateTime::currentDateTimeUtc().addDays(-daysAgo);
    run.result = result;
    ScanRuns(m_cat->database()).record(run);
}

void tst_DueRescans::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", m_home->path().toUtf8());
    QFile netrc(m_home->filePath(".netrc"));
    QVERIFY(netrc.open(QIODevice::WriteOnly));
    netrc.write("machine old.example login me password pw\n");
    netrc.close();
    QVERIFY(netrc.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_home->filePath("DB"));
    QFile ini(m_home->filePath("Harvex.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[SCAN]\nRescan After=3\n");
    ini.close();
    m_settings = std::make_unique<IniFile>(ini.fileName());
    m_told.clear();
    m_scans.clear();
    UiSeam::setMessageHandler([this](const QString &t) { m_told << t; });
    addRun("fresh.example", 1, ScanRun::Result::Complete);
    addRun("old.example", 5, ScanRun::Result::Complete);
    addRun("refusing.example", 1, ScanRun::Result::LogonRefused);
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES ('a', '', 1, 'unrecorded', 32, 0, 5, 0)"));
}

void tst_DueRescans::dueHostsOneAfterAnother()
{
    DueRescans due([this](const QString &h, const QString &u, const QString &p) { m_scans << h + ' ' + u + ' ' + p; });
    QVERIFY(due.start(*m_cat, *m_settings));
    QVERIFY(due.isRunning());
    QVERIFY(due.next(false));
    QVERIFY(due.next(false));
    QVERIFY(!due.next(false));
    QVERIFY(!due.isRunning());
    QCOMPARE(m_scans, (QStringList{"old.example me pw", "refusing.example  ", "unrecorded  "}));
    QCOMPARE(m_told, QStringList());
}

void tst_DueRescans::cancelEndsTheRound()
{
    DueRescans due([this](const QString &h, const QString &, const QString &) { m_scans << h; });
    QVERIFY(due.start(*m_cat, *m_settings));
    QVERIFY(!due.next(true));
    QVERIFY(!due.isRunning());
    QCOMPARE(m_scans, QStringList{"old.example"});
}

void tst_DueRescans::nothingDueIsSaid()
{
    m_settings->writeInt("SCAN", "Rescan After", 30);
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("DELETE FROM DB"));
    QVERIFY(q.exec("DELETE FROM ScanRun WHERE Host <> 'fresh.example'"));
    DueRescans due([this](const QString &h, const QString &, const QString &) { m_scans << h; });
    QVERIFY(!due.start(*m_cat, *m_settings));
    QCOMPARE(m_told, QStringList{"No host is due for a rescan"});
    QVERIFY(m_scans.isEmpty());
}

QTEST_MAIN(tst_DueRescans)
#include "tst_duerescans.moc"
