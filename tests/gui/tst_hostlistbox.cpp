#include "browse/HostListBox.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ScanRuns.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The host list: one line a host with what it holds, read again when it
// opens, keeping the browsed host; choosing a line names its host.
class tst_HostListBox : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void lines_data();
    void lines();
    void readAgainWhenOpened();
    void readAgainOnlyAfterAChange();

private:
    void exec(const QString &sql);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

void tst_HostListBox::exec(const QString &sql)
{
    QSqlQuery q(m_cat->database());
    QVERIFY2(q.exec(sql), qPrintable(sql));
}

void tst_HostListBox::init()
{
    QLocale::setDefault(QLocale::c());
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
    const QString row = "INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES ('%1', '%2', %3, '%4', %5, 0, %6, 0)";
    exec(row.arg("pub", "<DIR>", "4096", "ftp.a", "16", "1")); // a folder's size is no file's
    exec(row.arg("big", "iso", "3221225472", "ftp.a", "32", "2"));
    exec(row.arg("x", "txt", "10", "b", "32", "3"));
    ScanRuns(m_cat->database()).record("ftp.a", QDateTime(QDate(2026, 11, 1), QTime(9, 30)), QDateTime::currentDateTime());
    ScanRun failed; // the latest run is the one shown, with how it ended
    failed.host = "ftp.a";
    failed.started = QDateTime(QDate(2026, 12, 1), QTime(9, 30));
    failed.ended = failed.started.addSecs(30);
    failed.result = ScanRun::Result::LogonRefused;
    ScanRuns(m_cat->database()).record(failed);
}

void tst_HostListBox::lines_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("line");
    QTest::newRow("scanned") << "ftp.a" << "ftp.a  (2 entries, 3.0 GB, last scan 2026-12-01 09:30, log-on refused)";
    QTest::newRow("no run recorded") << "b" << "b  (1 entry, 10 B, last scan not recorded)";
}

void tst_HostListBox::lines()
{
    QFETCH(QString, host);
    QFETCH(QString, line);
    HostListBox box(*m_cat);
    box.refresh();
    QCOMPARE(box.count(), 2);
    QCOMPARE(box.itemText(box.findData(host)), line);
}

void tst_HostListBox::readAgainWhenOpened()
{
    HostListBox box(*m_cat);
    QSignalSpy chosen(&box, &HostListBox::hostChosen);
    box.refresh();
    box.setBrowsed("b");
    QCOMPARE(box.currentIndex(), box.findData("b"));
    exec("DELETE FROM DB WHERE Host = 'ftp.a'");
    box.show();
    box.showPopup();
    box.hidePopup();
    QCOMPARE(box.count(), 1);
    QCOMPARE(box.currentData().toString(), "b");
    QCOMPARE(chosen.count(), 0); // reading the list again chooses nothing
    emit box.activated(0);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.first().first().toString(), "b");
    // A host the catalogue no longer holds is shown as none.
    box.setBrowsed("ftp.a");
    QCOMPARE(box.currentIndex(), -1);
}

// The list costs a pass over every row: opened again with nothing changed
// it is not read again, but a commit by another program or a change by
// this one is seen.
void tst_HostListBox::readAgainOnlyAfterAChange()
{
    HostListBox box(*m_cat);
    box.refresh();
    box.show();
    // Under the list's feet, as no program does: a change it cannot see.
    box.setItemText(0, "as read");
    box.showPopup();
    box.hidePopup();
    QCOMPARE(box.itemText(0), "as read");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(m_cat->database().databaseName());
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec("INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) "
                                      "VALUES ('y', 'txt', 5, 'c', 32, 0, 4, 0)"));
    }
    QSqlDatabase::removeDatabase("other");
    box.showPopup();
    box.hidePopup();
    QCOMPARE(box.count(), 3);
    exec("DELETE FROM DB WHERE Host = 'c'");
    box.showPopup();
    box.hidePopup();
    QCOMPARE(box.count(), 2);
}

QTEST_MAIN(tst_HostListBox)
#include "tst_hostlistbox.moc"
