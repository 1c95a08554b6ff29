#include "browse/CatalogueOpener.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/NameSearch.h"
#include "widgets/UiSeam.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class tst_CatalogueOpener : public QObject
{
    Q_OBJECT
private slots:
    void oldCatalogueIndexedBehindAProgressWindow();
};

namespace {
int found(Catalogue &catalogue, const QString &pattern)
{
    QSqlQuery q = NameSearch(catalogue.database()).find(pattern);
    int n = 0;
    while (q.next())
        ++n;
    return n;
}

void makeOldCatalogue(const QString &folder)
{
    QVERIFY(QDir().mkpath(folder));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(folder + "/DB.sqlite");
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE DB (Name VARCHAR(80), ext VARCHAR(5), Size DOUBLE, Host VARCHAR(255), "
                       "Attr INTEGER, LAC DOUBLE, ID INTEGER, PID INTEGER)"));
        QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) "
                       "INSERT INTO DB SELECT 'name' || i, 'dat', i, 'old', 128, 0, i, 0 FROM n"));
    }
    QSqlDatabase::removeDatabase("old");
}
} // namespace

// A catalogue from before the name index: the index is built off the GUI
// thread while the window stays live; Cancel leaves it incomplete and
// finds still right, and the next start completes it.
void tst_CatalogueOpener::oldCatalogueIndexedBehindAProgressWindow()
{
    QTemporaryDir old;
    const QString folder = old.filePath("DB");
    makeOldCatalogue(folder);
    QStringList messages;
    UiSeam::setMessageHandler([&messages](const QString &t) { messages << t; });
    auto restore = qScopeGuard([] { UiSeam::setMessageHandler(nullptr); });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    {
        Catalogue first;
        CatalogueOpener opener;
        QList<qint64> told;
        connect(&opener, &CatalogueOpener::nameIndexProgress, [&](qint64 done, qint64) {
            told << done;
            QVERIFY(opener.indexProgress());
            QPushButton *cancel = opener.indexProgress()->findChild<QPushButton *>();
            QVERIFY(cancel);
            QCOMPARE(cancel->text(), QString("Cancel"));
            cancel->click();
        });
        opener.open(first, folder);
        QVERIFY(!told.isEmpty());
        QVERIFY(ticks > 0);
        QVERIFY(!opener.indexProgress());
        QVERIFY(!first.nameIndexReady());
        QCOMPARE(found(first, "%me29999%"), 11);
    }
    Catalogue second;
    CatalogueOpener().open(second, folder);
    QVERIFY(second.nameIndexReady());
    QCOMPARE(found(second, "%me29999%"), 11);
    QVERIFY(NameSearch(second.database()).condition("%me29999%").indexed);
    QCOMPARE(messages, QStringList());
}

QTEST_MAIN(tst_CatalogueOpener)
#include "tst_catalogueopener.moc"
