#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ChangeReport.h"
#include "core/catalogue/LacTime.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

// The lines of a host's last scan as people read them: paths walked from
// the rows still stored or kept from those removed, and the values before
// and after; catalogues from before the old values were kept read as unknown.
class tst_ChangeReport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void eachKindWithItsValues_data();
    void eachKindWithItsValues();
    void onlyTheFirstLinesAreReadInFull();
    void catalogueWithoutOldValues();

private:
    void exec(const QString &sql, const QVariantList &values = {});
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

namespace {
// The LAC of a listing time, as a scan stores it.
double lacOf(const QDateTime &t)
{
    const quint64 fileTime = quint64(t.toMSecsSinceEpoch() + 11644473600000LL) * 10000;
    double lac;
    std::memcpy(&lac, &fileTime, sizeof lac);
    return lac;
}
const QDateTime earlier(QDate(2026, 3, 1), QTime(10, 0));
const QDateTime later(QDate(2026, 12, 9), QTime(1, 8));
} // namespace

void tst_ChangeReport::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(m_cat->database());
    QVERIFY(q.prepare(sql));
    for (const QVariant &v : values)
        q.addBindValue(v);
    QVERIFY2(q.exec(), qPrintable(sql));
}

void tst_ChangeReport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
    exec("ALTER TABLE ScanChange ADD COLUMN OldSize DOUBLE PRECISION"); // as the first scan adds them
    exec("ALTER TABLE ScanChange ADD COLUMN OldLAC DOUBLE PRECISION");
    const QString row = "INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID) VALUES (?, ?, ?, 'H', ?, ?, ?, ?)";
    exec(row, {"pub", "<DIR>", 0, 16, 0.0, 7, 0});
    exec(row, {"new", "txt", 30, 32, lacOf(later), 8, 7});
    exec(row, {"grown", "zip", 2048, 32, lacOf(later), 9, 7});
    const QString line = "INSERT INTO ScanChange (Host, Change, ID, Path, OldSize, OldLAC) VALUES ('H', ?, ?, ?, ?, ?)";
    exec(line, {"changed", 9, QVariant(), 1024.0, lacOf(earlier)});
    exec(line, {"added", 8, QVariant(), QVariant(), QVariant()});
    exec(line, {"removed", 11, QByteArray("pub/gone.txt"), 5.0, lacOf(earlier)});
    exec(line, {"removed", 12, QByteArray("pub/old"), 0.0, 0.0});
    // Another host's scan is no part of it.
    exec("INSERT INTO ScanChange (Host, Change, ID) VALUES ('other', 'added', 7)");
}

void tst_ChangeReport::eachKindWithItsValues_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QVariant>("oldSize");
    QTest::addColumn<QVariant>("newSize");
    QTest::addColumn<QDateTime>("oldTime");
    QTest::addColumn<QDateTime>("newTime");
    QTest::newRow("changed") << 0 << "changed" << "/pub/grown.zip" << QVariant(1024) << QVariant(2048) << earlier << later;
    QTest::newRow("added") << 1 << "added" << "/pub/new.txt" << QVariant() << QVariant(30) << QDateTime() << QDateTime();
    QTest::newRow("removed file") << 2 << "removed" << "/pub/gone.txt" << QVariant(5) << QVariant() << earlier
                                  << QDateTime();
    QTest::newRow("removed folder") << 3 << "removed" << "/pub/old" << QVariant(0) << QVariant() << QDateTime()
                                    << QDateTime();
}

void tst_ChangeReport::eachKindWithItsValues()
{
    QFETCH(int, line);
    QFETCH(QString, kind);
    QFETCH(QString, path);
    QFETCH(QVariant, oldSize);
    QFETCH(QVariant, newSize);
    QFETCH(QDateTime, oldTime);
    QFETCH(QDateTime, newTime);
    ChangeReport report;
    report.read(*m_cat, "H", QByteArray());
    QCOMPARE(report.lines().size(), 4);
    QCOMPARE(report.total(), 4);
    const ChangeReport::Line &l = report.lines().at(line);
    QCOMPARE(ScanChanges::kindText(l.kind), kind);
    QCOMPARE(l.path, path);
    QCOMPARE(l.oldSize.isNull(), oldSize.isNull());
    QCOMPARE(l.oldSize.toLongLong(), oldSize.toLongLong());
    QCOMPARE(l.newSize.isNull(), newSize.isNull());
    QCOMPARE(l.newSize.toLongLong(), newSize.toLongLong());
    QCOMPARE(LacTime::toDateTime(l.oldLac), oldTime);
    QCOMPARE(LacTime::toDateTime(l.newLac), newTime);
}

void tst_ChangeReport::onlyTheFirstLinesAreReadInFull()
{
    ChangeReport report;
    report.read(*m_cat, "H", QByteArray(), 2);
    QCOMPARE(report.lines().size(), 2);
    QCOMPARE(report.total(), 4);
    QCOMPARE(report.count(ScanChanges::Kind::Removed), 2);
    QCOMPARE(report.count(ScanChanges::Kind::Added), 1);
}

void tst_ChangeReport::catalogueWithoutOldValues()
{
    exec("DROP TABLE ScanChange");
    exec("CREATE TABLE ScanChange (Host TEXT, Change TEXT, ID INTEGER, Path BLOB)");
    exec("INSERT INTO ScanChange (Host, Change, ID, Path) VALUES ('H', 'removed', 11, ?)", {QByteArray("pub/gone.txt")});
    ChangeReport report;
    report.read(*m_cat, "H", QByteArray());
    QCOMPARE(report.lines().size(), 1);
    QCOMPARE(report.lines().first().path, "/pub/gone.txt");
    QVERIFY(report.lines().first().oldSize.isNull());
}

QTEST_GUILESS_MAIN(tst_ChangeReport)
#include "tst_changereport.moc"
