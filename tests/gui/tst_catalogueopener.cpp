#include "browse/CatalogueOpener.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/NameSearch.h"
#include "widgets/UiSeam.h"
#include "PgTestServer.h"

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
    void formerIndexIsBuiltAnewBehindTheWindow();
    void sharedDatabaseShowsItsUpgrade();
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

// The trigram index as the version before made it, complete: names folded
// only as FTS5 folds them.
void addFormerIndex(const QString &folder)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(folder + "/DB.sqlite");
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const char *sql : {"INSERT INTO DB VALUES ('STRAẞE', 'txt', 1, 'old', 128, 0, 0, 0)",
                                "CREATE VIRTUAL TABLE DB_NameTrigrams USING fts5(Name, content='', columnsize=0, "
                                "detail=none, tokenize='trigram')",
                                "CREATE TABLE DB_NameTrigramsState (indexedTo INTEGER)",
                                "INSERT INTO DB_NameTrigrams (rowid, Name) SELECT rowid, Name FROM DB",
                                "INSERT INTO DB_NameTrigramsState SELECT MAX(rowid) FROM DB"})
            QVERIFY2(q.exec(sql), sql);
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

// A catalogue whose index the version before built: the new one, on folded
// names, is built behind the same window before the catalogue opens.
void tst_CatalogueOpener::formerIndexIsBuiltAnewBehindTheWindow()
{
    QTemporaryDir old;
    const QString folder = old.filePath("DB");
    makeOldCatalogue(folder);
    addFormerIndex(folder);
    Catalogue catalogue;
    CatalogueOpener opener;
    bool shown = false;
    connect(&opener, &CatalogueOpener::nameIndexProgress, [&] { shown = shown || opener.indexProgress(); });
    opener.open(catalogue, folder);
    QVERIFY(shown);
    QVERIFY(catalogue.nameIndexReady());
    QVERIFY(NameSearch(catalogue.database()).condition("%straße%").indexed);
    QCOMPARE(found(catalogue, "%straße%"), 1);
    QCOMPARE(found(catalogue, "%me29999%"), 11);
}

// A shared database of the schema before folds its names in the open,
// behind the window; one that is current opens without it.
void tst_CatalogueOpener::sharedDatabaseShowsItsUpgrade()
{
    if (PgTestServer::binDir().isEmpty())
        QSKIP("PostgreSQL is not installed (Debian package postgresql): nothing to test against");
    PgTestServer server;
    QVERIFY2(server.start() && server.createDatabase("shared"), qPrintable(server.error()));
    const QString url = server.url("shared");
    {
        Catalogue catalogue;
        catalogue.open(url);
        FileEntry e;
        e.name = "ДОКУМЕНТЫ";
        catalogue.StoreEntry(e, 0, "H");
        catalogue.flush();
        QSqlQuery q(catalogue.database());
        for (const char *sql : {"DROP TABLE DB_FoldedNames", "DROP FUNCTION harvex_name_changed CASCADE",
                                "UPDATE HarvexSchema SET Version = 1"})
            QVERIFY2(q.exec(sql), sql);
    }
    for (const bool upgrade : {true, false}) {
        Catalogue catalogue;
        CatalogueOpener opener;
        bool shown = false;
        connect(&opener, &CatalogueOpener::nameIndexProgress, [&] {
            shown = opener.indexProgress() && !opener.indexProgress()->findChild<QPushButton *>();
        });
        opener.open(catalogue, url);
        QCOMPARE(shown, upgrade);
        QVERIFY(!opener.indexProgress());
        QCOMPARE(found(catalogue, "%документы%"), 1);
    }
}

QTEST_MAIN(tst_CatalogueOpener)
#include "tst_catalogueopener.moc"
