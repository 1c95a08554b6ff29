#include "core/base/ActivityLog.h"
#include "core/base/UserMessages.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueCopy.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/DataSet.h"
#include "core/catalogue/HostStatistics.h"
#include "core/catalogue/IdDraw.h"
#include "core/catalogue/LineageWalk.h"
#include "core/catalogue/NameSearch.h"
#include "core/catalogue/PgBatch.h"
#include "core/catalogue/ScanChanges.h"
#include "core/scan/HostScanner.h"
#include "core/scan/HostSource.h"
#include "core/scan/ScanConnection.h"
#include "core/scan/ScanView.h"
#include "FoldedLike.h"
#include "PgTestServer.h"

#include <QAbstractItemModelTester>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <functional>

// The catalogue on a shared PostgreSQL database, beside the SQLite file:
// the same scans store the same rows; several writers at once; failures.
namespace {
struct OneHost : HostSource
{
    QString host = "H";
    QString CurrentHost() override { return host; }
    QString CurrentUser() override { return {}; }
    QString CurrentPassword() override { return {}; }
};

struct Messages : UserMessages
{
    QStringList shown;
    void showMessage(const QString &t) override { shown << t; }
};

struct QuietView : ScanView
{
    void showView() override {}
    void hideView() override {}
    void setProgress(qint64) override {}
    void setCounts(int, qint64) override {}
    void repaintView() override {}
    void pumpEvents() override {}
};

// Listings from a table: path -> entries ("name/" a folder, "name=size" a
// file of that size). Names are the listed bytes.
struct TableConnection : ScanConnection
{
    QMap<QByteArray, QByteArrayList> tree;
    int listings = 0;
    std::function<void(int)> onList;
    bool open = false;
    void ConnectToHost() override { open = true; }
    void CloseConnection() override { open = false; }
    bool isConnected() const override { return open; }
    bool isAlive() override { return open; }
    bool reconnect() override { return open = true; }
    FtpSession::Listing list(const QByteArray &path) override
    {
        if (onList)
            onList(listings);
        ++listings;
        FtpSession::Listing l;
        l.ok = tree.contains(path);
        for (const QByteArray &item : tree.value(path)) {
            const QByteArray n = item.split('=').first();
            FileEntry e;
            e.wireName = n.endsWith('/') ? n.chopped(1) : n;
            e.name = QString::fromLatin1(e.wireName); // latin1: any bytes decode
            e.size = item.split('=').value(1).toULongLong();
            e.kind = FileEntry::kindOf(n.endsWith('/') ? 16 : 128);
            l.entries << e;
        }
        if (!l.ok)
            l.error = "550 No such folder";
        return l;
    }
    FtpSession::Listing listWithModes(const QByteArray &path) override { return list(path); }
};

// folders x files, under one top folder per letter.
void bigTree(TableConnection &c, int folders, int files)
{
    for (int d = 0; d < folders; ++d) {
        const QByteArray dir = "dir" + QByteArray::number(d);
        c.tree[""] << dir + '/';
        for (int f = 0; f < files; ++f)
            c.tree[dir] << "file" + QByteArray::number(f) + ".dat=" + QByteArray::number(f);
    }
}

struct Scan
{
    ActivityLog log;
    OneHost hosts;
    Messages messages;
    QuietView view;
    HostScanner scanner;
    Scan(ScanConnection &conn, Catalogue &cat, const QString &host = "H")
        : scanner(conn, cat, log, hosts, messages, view)
    {
        hosts.host = host;
        scanner.setRetryPause(1);
        scanner.setPipelining(false);
    }
};

QStringList column(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return {q.lastError().text()};
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}
} // namespace

class tst_PgCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void schemaIsWhatStoredCataloguesHave();
    void storesAndRescansAlike_data();
    void storesAndRescansAlike();
    void findsFoldCaseAlike();
    void previousSchemaIsUpgradedOnOpen();
    void sqlWindowRunsAsTyped_data();
    void sqlWindowRunsAsTyped();
    void twoWritersAtOnce_data();
    void twoWritersAtOnce();
    void aHostBeingScannedIsRefused();
    void collidingIdIsDrawnAgain();
    void databaseStoppedMidScan();
    void openFailuresAreClear();
    void copyBothWays();

private:
    QString where(const QString &store);
    // Rows whose folder, host, name and kind another row has too.
    static QStringList duplicates(const QSqlDatabase &db);
    static QByteArrayList storedPaths(Catalogue &cat, const QString &host = QString());
    static QStringList lastChanges(Catalogue &cat);

    PgTestServer m_server;
    QString m_url; // a fresh database for each test
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_databases = 0;
};

void tst_PgCatalogue::initTestCase()
{
    if (PgTestServer::binDir().isEmpty())
        QSKIP("PostgreSQL is not installed (Debian package postgresql): nothing to test against");
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void tst_PgCatalogue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString name = QStringLiteral("t%1").arg(++m_databases);
    QVERIFY2(m_server.createDatabase(name), qPrintable(m_server.error()));
    m_url = m_server.url(name);
}

QString tst_PgCatalogue::where(const QString &store)
{
    return store == "postgresql" ? m_url : m_dir->filePath("DB");
}

QStringList tst_PgCatalogue::duplicates(const QSqlDatabase &db)
{
    return column(db, "SELECT Host || '/' || Name || '.' || ext FROM DB GROUP BY PID, Host, Name, ext, Attr "
                      "HAVING COUNT(*) > 1");
}

QByteArrayList tst_PgCatalogue::storedPaths(Catalogue &cat, const QString &host)
{
    LineageWalk walk(cat);
    QByteArrayList paths;
    const QString where = host.isEmpty() ? QString() : " WHERE Host = '" + host + "'";
    for (const QString &id : column(cat.database(), "SELECT ID FROM DB" + where)) {
        const CatalogueRecord row = *cat.recordById(id.toInt());
        paths << walk.exactPathBytes(row) + ' ' + row.size.toByteArray();
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

QStringList tst_PgCatalogue::lastChanges(Catalogue &cat)
{
    LineageWalk walk(cat);
    QStringList changes;
    for (const ScanChanges::Change &c : ScanChanges::last(cat, "H")) {
        const QByteArray path = c.kind == ScanChanges::Kind::Removed ? c.path : walk.exactPathBytes(*cat.recordById(c.id));
        changes << ScanChanges::kindText(c.kind) + " " + QString::fromLatin1(path);
    }
    changes.sort();
    return changes;
}

// Every table, column and index as databases made by earlier versions hold
// them: the schema is written once for both databases, and must not drift.
void tst_PgCatalogue::schemaIsWhatStoredCataloguesHave()
{
    Catalogue cat;
    cat.open(m_url);
    QSqlQuery q(cat.database());
    QVERIFY(q.exec("SELECT table_name, column_name, data_type, COALESCE(character_maximum_length, 0), is_nullable, "
                   "is_identity FROM information_schema.columns WHERE table_schema = 'public' "
                   "ORDER BY table_name, ordinal_position"));
    QStringList columns;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < 6; ++i)
            fields << q.value(i).toString();
        columns << fields.join(' ');
    }
    const QStringList expectedColumns{
        "db name character varying 80 YES NO", "db ext character varying 5 YES NO",
        // Size is the one column new catalogues declare otherwise: an integer keeps sizes past 2^53 exact.
        "db size bigint 0 YES NO", "db host character varying 255 YES NO", "db attr integer 0 YES NO",
        "db lac double precision 0 YES NO", "db id integer 0 YES NO", "db pid integer 0 YES NO",
        // The folded names (PgFoldedNames): a table of their own, so that DB shows the columns it always had.
        "db_foldednames id integer 0 NO NO", "db_foldednames name text 0 YES NO",
        "exactname id integer 0 NO NO", "exactname bytes bytea 0 NO NO", "harvexschema version integer 0 NO NO",
        "hostcodepage host text 0 NO NO", "hostcodepage codepage text 0 YES NO", "pendingfolder host text 0 NO NO",
        "pendingfolder seq bigint 0 NO NO", "pendingfolder path bytea 0 NO NO", "pendingfolder parentid integer 0 NO NO",
        "pendingfolder fresh integer 0 NO NO", "scanchange seq bigint 0 NO YES",
        "scanchange host text 0 YES NO", "scanchange change text 0 YES NO", "scanchange id integer 0 YES NO",
        "scanchange path bytea 0 YES NO", "scanchange run bigint 0 YES NO", "scanlock host text 0 NO NO", "scanlock machine text 0 YES NO",
        "scanlock boot text 0 YES NO", "scanlock pid bigint 0 YES NO", "scanlock heartbeat text 0 YES NO",
        "scanrun host text 0 NO NO", "scanrun started text 0 NO NO", "scanrun ended text 0 NO NO",
        "scanrun run bigint 0 YES NO", "scanrun result text 0 YES NO", "scanrun entries bigint 0 YES NO",
        "scanrun folders bigint 0 YES NO", "scanrun added bigint 0 YES NO", "scanrun changed bigint 0 YES NO",
        "scanrun removed bigint 0 YES NO", "scanrun unreadlines bigint 0 YES NO", "scanrun method text 0 YES NO",
        "scanrun greeting text 0 YES NO", "scanrun startfolder text 0 YES NO", "unlistedrow host text 0 NO NO", "unlistedrow id integer 0 NO NO", "unlistedrow folder bytea 0 NO NO"};
    QCOMPARE(columns, expectedColumns);
    QVERIFY(q.exec("SELECT indexdef FROM pg_indexes WHERE schemaname = 'public' ORDER BY indexname"));
    QStringList indexes;
    while (q.next())
        indexes << q.value(0).toString();
    const QStringList expectedIndexes{
        "CREATE UNIQUE INDEX db_foldednames_pkey ON public.db_foldednames USING btree (id)",
        "CREATE INDEX db_foldednamesstale ON public.db_foldednames USING btree (id) WHERE (name IS NULL)",
        "CREATE INDEX db_foldednamestrigrams ON public.db_foldednames USING gin (name gin_trgm_ops)",
        "CREATE INDEX db_folder ON public.db USING btree (pid, host, name, ext)",
        "CREATE UNIQUE INDEX db_id ON public.db USING btree (id)",
        "CREATE INDEX db_lac ON public.db USING btree (host, lac)",
        "CREATE INDEX db_name ON public.db USING btree (host, name)",
        "CREATE INDEX db_size ON public.db USING btree (size)",
        "CREATE UNIQUE INDEX exactname_pkey ON public.exactname USING btree (id)",
        "CREATE UNIQUE INDEX hostcodepage_pkey ON public.hostcodepage USING btree (host)",
        "CREATE UNIQUE INDEX pendingfolder_pkey ON public.pendingfolder USING btree (host, seq)",
        "CREATE INDEX scanchange_host ON public.scanchange USING btree (host)",
        "CREATE UNIQUE INDEX scanlock_pkey ON public.scanlock USING btree (host)",
        "CREATE INDEX scanrun_host ON public.scanrun USING btree (host, run)"};
    QCOMPARE(indexes, expectedIndexes);
    QVERIFY(q.exec("SELECT Version FROM HarvexSchema") && q.next());
    QCOMPARE(q.value(0).toInt(), Catalogue::PgSchemaVersion);
}

void tst_PgCatalogue::storesAndRescansAlike_data()
{
    QTest::addColumn<QString>("store");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// A first scan, then a rescan that changes, adds and removes, with names
// that need their exact bytes kept (not UTF-8, cut, upper-case extension).
void tst_PgCatalogue::storesAndRescansAlike()
{
    QFETCH(QString, store);
    Catalogue cat;
    cat.open(where(store));
    QCOMPARE(cat.isShared(), store == "postgresql");
    const QByteArray longName = QByteArray(90, 'n') + ".txt";
    TableConnection conn;
    conn.tree[""] = {"a.txt=10", "b.TXT=5", "caf\xe9.txt=7", longName + "=1", "old/", "keep/"};
    conn.tree["old"] = {"o1.txt", "sub/"};
    conn.tree["old/sub"] = {"o2"};
    conn.tree["keep"] = {"k.txt=3"};
    Scan scan(conn, cat);
    scan.scanner.ScanHost();
    QCOMPARE(scan.scanner.stats().added, 10);
    QCOMPARE(storedPaths(cat), (QByteArrayList{"a.txt 10", "b.TXT 5", "caf\xe9.txt 7", "keep 0", "keep/k.txt 3",
                                               longName + " 1", "old 0", "old/o1.txt 0", "old/sub 0", "old/sub/o2 0"}));

    conn.tree[""] = {"a.txt=20", "b.TXT=5", "caf\xe9.txt=7", longName + "=1", "keep/", "new.txt"};
    conn.tree.remove("old");
    scan.scanner.ScanHost();
    QCOMPARE(scan.messages.shown, QStringList());
    QCOMPARE(lastChanges(cat), (QStringList{"added new.txt", "changed a.txt", "removed old", "removed old/o1.txt",
                                            "removed old/sub", "removed old/sub/o2"}));
    QCOMPARE(cat.recordCount(), 7);
    QCOMPARE(column(cat.database(), "SELECT Size FROM DB WHERE Name = 'a'"), QStringList{"20"});
    // The browser's and the statistics' questions read the same rows.
    HostStatistics stats(cat, "H");
    stats.load();
    QCOMPARE(stats.totals().entries, 7);
    QCOMPARE(stats.totals().bytes, 20.0 + 5 + 7 + 1 + 3);
    QCOMPARE(stats.largest(1).value(0).bytes, 20.0);
    const QList<CatalogueQueries::Folder> tree = CatalogueQueries(cat.database()).folderTree("h", CatalogueQueries::HostMatch::Like);
    QCOMPARE(tree.size(), 1);
    QCOMPARE(tree.first().name, "keep");
    // The browser's tree reads a level at a time, and finds print paths.
    const QList<CatalogueQueries::Folder> top = CatalogueQueries(cat.database()).subfolders("h", CatalogueQueries::HostMatch::Like, {0});
    QCOMPARE(top.size(), 1);
    QCOMPARE(CatalogueQueries(cat.database()).folderLineage("h", CatalogueQueries::HostMatch::Like, top.first().id),
             QList<qint32>{top.first().id});
    QStringList paths;
    PathSearch(cat.database())
        .find("%k%", "ALL", "H", 0, [&paths](const PathSearch::Hit &hit) { paths << hit.path; return true; });
    paths.sort();
    QCOMPARE(paths, (QStringList{"H/keep", "H/keep/k.txt"}));
    QCOMPARE(CatalogueQueries(cat.database()).countRows({"SELECT * FROM DB WHERE Size > ?", {4}}), 3);
    scan.scanner.ScanHost();
    QCOMPARE(scan.scanner.stats().added + scan.scanner.stats().changed + scan.scanner.stats().removed, 0);
    QVERIFY(duplicates(cat.database()).isEmpty());
}

// The folded names' find gives on both databases exactly the rows a scan
// folded in C++ gives: letters of every script fold, ß as ss, "_" is one
// character of the folded name, and a backslash is an ordinary character.
void tst_PgCatalogue::findsFoldCaseAlike()
{
    const QStringList names = {"Report.txt", "REPORT.TXT", "report_2024.doc", "Отчёт.txt", "отчёт.txt",
                               "ОТЧЁТ.TXT", "Ärger.txt", "ärger.txt", "back\\slash.txt", "50%off.txt", "a.b",
                               "ΣΊΣΥΦΟΣ.txt", "σίσυφος.txt", "Straße.txt", "STRASSE.TXT", "ﬁle.txt"};
    Catalogue lite, pg;
    lite.open(where("sqlite"));
    pg.open(where("postgresql"));
    for (Catalogue *cat : {&lite, &pg}) {
        for (const QString &n : names) {
            FileEntry e;
            e.name = n;
            e.kind = FileEntry::Kind::File;
            cat->StoreEntry(e, 0, "H");
        }
        cat->flush();
    }
    const QStringList patterns = {"report%", "%EPOR%", "%отч%", "%ОТЧ%", "Отчёт", "%ärg%", "%ÄRG%", "%_2024",
                                  "%k\\s%", "50%", "%", "report", "r_port", "%ёт", "%xyz%", "%ΣΊΣΥΦ%",
                                  "σίσυφοσ", "%straße%", "STRA__E", "%FILE%", "%ΣΟΣ"};
    for (const QString &p : patterns) {
        QStringList scanned;
        for (const QString &n : names) {
            const EntryName split = EntryName::split(n, 128);
            if (FoldedLike::matches(split.name, p))
                scanned << split.name + '.' + split.ext;
        }
        scanned.sort();
        QStringList found[2];
        int i = 0;
        for (Catalogue *cat : {&lite, &pg}) {
            QSqlQuery q = NameSearch(cat->database()).find(p);
            while (q.next())
                found[i] << q.value(0).toString() + '.' + q.value(1).toString();
            found[i++].sort();
        }
        QVERIFY2(found[0] == scanned, qPrintable(p + ": " + found[0].join(',') + " / " + scanned.join(',')));
        QVERIFY2(found[1] == scanned, qPrintable(p + ": " + found[1].join(',') + " / " + scanned.join(',')));
    }
    QVERIFY(NameSearch(pg.database()).hasIndex());
    // With a scan of the table made dear, the planner takes the trigram index.
    QSqlQuery q(pg.database());
    QVERIFY(q.exec("SET enable_seqscan = off"));
    const NameSearch::Condition c = NameSearch(pg.database()).condition("%port%");
    QVERIFY(q.exec("EXPLAIN SELECT * FROM DB WHERE " + QString(c.sql).replace("?", PgBatch::literal(c.values.first().toString()))));
    QString plan;
    while (q.next())
        plan += q.value(0).toString() + '\n';
    QVERIFY2(plan.contains("db_foldednamestrigrams"), qPrintable(plan));
}

// A database as the version before left it (schema 1: a trigram index on
// names with A to Z folded, no folded names, a cut name's type taken from
// the cut) gets its names folded, its ext right and schema 2 on open.
void tst_PgCatalogue::previousSchemaIsUpgradedOnOpen()
{
    const QString cut = QString(78, u'r');
    {
        Catalogue cat;
        cat.open(m_url);
        for (const QString &n : {QStringLiteral("ДОКУМЕНТЫ"), QStringLiteral("Straße"), cut + QStringLiteral(".pdf")}) {
            FileEntry e;
            e.name = n;
            cat.StoreEntry(e, 0, "H");
        }
        cat.flush();
        QSqlQuery q(cat.database());
        for (const QString &sql : {QStringLiteral("DROP TABLE DB_FoldedNames"),
                                   QStringLiteral("DROP FUNCTION harvex_name_changed CASCADE"),
                                   QStringLiteral("CREATE INDEX DB_NameTrigrams ON DB USING gin (translate(Name, "
                                                  "'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') gin_trgm_ops)"),
                                   QStringLiteral("UPDATE HarvexSchema SET Version = 1"),
                                   "UPDATE DB SET ext = 'p' WHERE Name = '" + cut + "'",
                                   "INSERT INTO ExactName (ID, Bytes) SELECT ID, convert_to(Name || '.pdf', 'UTF8') "
                                   "FROM DB WHERE Name = '" + cut + "'"})
            QVERIFY2(q.exec(sql), qPrintable(sql + ": " + q.lastError().text()));
    }
    Catalogue cat;
    QList<qint64> told;
    cat.open(m_url, [&](qint64 done, qint64 total) {
        told << done;
        return total == 3;
    });
    QCOMPARE(told.first(), 0);
    QCOMPARE(told.last(), 3);
    QCOMPARE(column(cat.database(), "SELECT ext FROM DB WHERE Name = '" + cut + "'"), QStringList{"pdf"});
    QCOMPARE(column(cat.database(), "SELECT MAX(Version) FROM HarvexSchema"), QStringList{QString::number(Catalogue::PgSchemaVersion)});
    QCOMPARE(column(cat.database(), "SELECT indexname FROM pg_indexes WHERE indexname LIKE 'db_%trigrams'"),
             QStringList{"db_foldednamestrigrams"});
    const auto found = [&cat](const QString &pattern) {
        QStringList names;
        QSqlQuery q = NameSearch(cat.database()).find(pattern);
        while (q.next())
            names << q.value("Name").toString();
        return names;
    };
    QCOMPARE(found("%документы%"), QStringList{"ДОКУМЕНТЫ"});
    QCOMPARE(found("%STRASSE"), QStringList{"Straße"});
    // A name the SQL window changes is folded again at the next open.
    QSqlQuery q(cat.database());
    QVERIFY(q.exec("UPDATE DB SET Name = 'ΣΟΦΊΑ' WHERE Name = 'Straße'"));
    QVERIFY(found("%σοφία%").isEmpty());
    q = QSqlQuery();
    cat.close();
    cat.open(m_url);
    QCOMPARE(found("%σοφία%"), QStringList{"ΣΟΦΊΑ"});
    QVERIFY(found("%strasse%").isEmpty());
    // A removed row takes its folded name along.
    q = QSqlQuery(cat.database());
    QVERIFY(q.exec("DELETE FROM DB"));
    QCOMPARE(column(cat.database(), "SELECT COUNT(*) FROM DB_FoldedNames"), QStringList{"0"});
}

void tst_PgCatalogue::sqlWindowRunsAsTyped_data()
{
    storesAndRescansAlike_data();
}

// The SQL window's statements go through as typed, statements PostgreSQL
// cannot prepare included; the grid sorts and counts on either store.
void tst_PgCatalogue::sqlWindowRunsAsTyped()
{
    QFETCH(QString, store);
    Catalogue cat;
    cat.open(where(store));
    for (const QString n : {"b.txt", "c.txt", "a.txt"}) {
        FileEntry e;
        e.name = n;
        e.kind = FileEntry::Kind::File;
        cat.StoreEntry(e, 0, "H");
    }
    cat.flush();
    DataSet ds(cat.connectionName());
    QAbstractItemModelTester tester(&ds);
    ds.setSql("CREATE INDEX DB_Host ON DB(Host)");
    QVERIFY2(ds.open(), qPrintable(ds.errorText()));
    ds.setSql("SELECT Name, ext FROM DB WHERE Attr = 128");
    QVERIFY2(ds.open(), qPrintable(ds.errorText()));
    QCOMPARE(ds.recordCount(), 3);
    ds.sort(0, Qt::DescendingOrder);
    QCOMPARE(ds.index(0, 0).data().toString(), "c");
    ds.setSql("SELECT * FROM Nowhere");
    QVERIFY(!ds.open());
    QVERIFY(!ds.errorText().isEmpty());
}

void tst_PgCatalogue::twoWritersAtOnce_data()
{
    QTest::addColumn<bool>("sameHost");
    QTest::newRow("different hosts") << false;
    QTest::newRow("same host") << true;
}

// Two scanners on their own threads and connections fill one database.
// Different hosts: both trees whole. The same host: never an entry twice,
// and a scan that found the host taken says so.
void tst_PgCatalogue::twoWritersAtOnce()
{
    QFETCH(bool, sameHost);
    Catalogue setup;
    setup.open(m_url); // the schema once, before the writers race
    struct Writer
    {
        HostScanner::Stats stats;
        QStringList messages;
    } writers[2];
    QList<QThread *> threads;
    for (int w = 0; w < 2; ++w) {
        threads << QThread::create([this, w, sameHost, &writers] {
            Catalogue cat;
            cat.open(m_url);
            TableConnection conn;
            bigTree(conn, 40, 50);
            Scan scan(conn, cat, sameHost ? "H" : QStringLiteral("H%1").arg(w));
            scan.scanner.ScanHost();
            writers[w] = {scan.scanner.stats(), scan.messages.shown};
        });
    }
    for (QThread *t : threads)
        t->start();
    for (QThread *t : threads) {
        QVERIFY(t->wait(120000));
        delete t;
    }
    QVERIFY(duplicates(setup.database()).isEmpty());
    const int tree = 40 + 40 * 50;
    if (!sameHost) {
        for (const Writer &w : writers)
            QCOMPARE(w.stats.added, tree);
        QCOMPARE(setup.recordCount(), 2 * tree);
        QCOMPARE(column(setup.database(), "SELECT COUNT(DISTINCT PID) FROM DB WHERE Host = 'H1'"), QStringList{"41"});
        return;
    }
    QCOMPARE(setup.recordCount(), tree);
    QCOMPARE(writers[0].stats.added + writers[1].stats.added, tree);
    for (const Writer &w : writers) {
        if (w.stats.catalogueFailed)
            QVERIFY2(w.messages.join(' ').contains("being scanned by another scanner"), qPrintable(w.messages.join(' ')));
    }
}

void tst_PgCatalogue::aHostBeingScannedIsRefused()
{
    Catalogue other, cat;
    other.open(m_url);
    cat.open(m_url);
    QVERIFY(other.lockHost("H"));
    TableConnection conn;
    conn.tree[""] = {"a.txt"};
    Scan scan(conn, cat);
    scan.scanner.ScanHost();
    QVERIFY(scan.scanner.stats().catalogueFailed);
    QCOMPARE(conn.listings, 0);
    QVERIFY(scan.messages.shown.join(' ').contains("Host H is being scanned by another scanner"));
    QVERIFY(cat.lockHost("G")); // other hosts stay free
    cat.unlockHost("G");
    other.unlockHost("H");
    scan.scanner.ScanHost();
    QVERIFY(!scan.scanner.stats().catalogueFailed);
    QCOMPARE(cat.recordCount(), 1);
}

// An ID another writer took between the draw and the insert is drawn again,
// and the rows of the batch below it follow.
void tst_PgCatalogue::collidingIdIsDrawnAgain()
{
    Catalogue cat;
    cat.open(m_url);
    PgBatch batch(cat.database());
    IdDraw state(7);
    const qint32 folder = batch.add({0, 0, 0, "folder", "<DIR>", "H", 0, 16, "folder"}, state);
    const qint32 child = batch.add({0, folder, 1, "child", "txt", "H", 0, 128, "child"}, state);
    batch.addExact(folder, "Folder");
    QSqlQuery q(cat.database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO DB (Name, ext, Host, Attr, ID, PID) VALUES ('theirs', 'txt', 'G', 128, %1, 0)")
                       .arg(folder)));
    QVERIFY(cat.database().transaction());
    const QHash<qint32, qint32> moved = batch.send();
    QVERIFY(cat.database().commit());
    QCOMPARE(moved.size(), 1);
    const qint32 now = moved.value(folder);
    QVERIFY(now != 0 && now != folder);
    QCOMPARE(column(cat.database(), QStringLiteral("SELECT Name FROM DB WHERE ID = %1").arg(folder)), QStringList{"theirs"});
    QCOMPARE(column(cat.database(), QStringLiteral("SELECT Name FROM DB WHERE ID = %1").arg(now)), QStringList{"folder"});
    QCOMPARE(column(cat.database(), QStringLiteral("SELECT PID FROM DB WHERE ID = %1").arg(child)),
             QStringList{QString::number(now)});
    QCOMPARE(column(cat.database(), QStringLiteral("SELECT ID FROM ExactName")), QStringList{QString::number(now)});
}

// The database goes away under a scan: a clear message, the scan ends as on
// a lost FTP connection, what was committed stays and a rescan completes it.
void tst_PgCatalogue::databaseStoppedMidScan()
{
    {
        Catalogue cat;
        cat.open(m_url);
        TableConnection conn;
        bigTree(conn, 10, 20);
        conn.onList = [&](int n) {
            if (n == 3)
                QThread::msleep(Catalogue::CommitAfterMs + 50); // the next store commits
            if (n == 6)
                m_server.stop();
        };
        Scan scan(conn, cat);
        scan.scanner.ScanHost();
        QVERIFY(scan.scanner.stats().catalogueFailed);
        QVERIFY2(scan.messages.shown.join(' ').contains("connection to the catalogue database was lost"),
                 qPrintable(scan.messages.shown.join(' ')));
        QVERIFY(scan.log.lines().join('\n').contains("Scan stopped: the catalogue could not store more"));
    }
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    Catalogue cat;
    cat.open(m_url);
    const qint64 kept = cat.recordCount();
    QVERIFY2(kept >= 10 + 2 * 20 && kept < 10 + 10 * 20, qPrintable(QString::number(kept)));
    TableConnection conn;
    bigTree(conn, 10, 20);
    Scan scan(conn, cat);
    scan.scanner.ScanHost();
    QCOMPARE(cat.recordCount(), 10 + 10 * 20);
    QVERIFY(duplicates(cat.database()).isEmpty());
}

void tst_PgCatalogue::openFailuresAreClear()
{
    const struct
    {
        QString url, says;
    } cases[] = {
        {"postgresql://harvex@/nowhere?host=" + m_dir->path(), "Cannot open the catalogue database"},
        {QString(m_url).replace("harvex@", "nobody@"), "role \"nobody\" does not exist"},
        {QString(m_url).replace("harvex@", "harvex:secret@"), "~/.pgpass or PGPASSWORD"},
    };
    for (const auto &c : cases) {
        Catalogue cat;
        try {
            cat.open(c.url);
            QFAIL(qPrintable(c.url + " opened"));
        } catch (const CatalogueError &e) {
            QVERIFY2(e.message().contains(c.says), qPrintable(e.message()));
            QVERIFY(!e.message().contains("secret"));
        }
    }
}

// Hosts go into the shared database and back with their IDs, exact names
// and sizes; an ID the target holds already is drawn again and the rows
// below it follow; a host the target holds is never copied twice.
void tst_PgCatalogue::copyBothWays()
{
    Catalogue local, shared;
    local.open(where("sqlite"));
    shared.open(m_url);
    for (const QString host : {"A", "B"}) {
        TableConnection conn;
        bigTree(conn, 3, 4);
        conn.tree["dir1"] << "caf\xe9.TXT=9" << "sub/";
        conn.tree["dir1/sub"] << "deep.txt=1";
        Scan scan(conn, local, host);
        scan.scanner.ScanHost();
    }
    const QString dir1 = column(local.database(), "SELECT ID FROM DB WHERE Host = 'A' AND Name = 'dir1'").value(0);
    QSqlQuery q(shared.database());
    QVERIFY(q.exec("INSERT INTO DB (Name, ext, Host, Attr, ID, PID) VALUES ('theirs', 'txt', 'Z', 128, " + dir1 + ", 0)"));

    CatalogueCopy to(local, shared);
    to.setHosts({"A"});
    QList<qint64> told;
    const CatalogueCopy::Result r = to.run([&told](qint64 done, qint64) { told << done; });
    QCOMPARE(r.rows, 3 + 12 + 3);
    QCOMPARE(r.redrawn, 1);
    QCOMPARE(told.last(), r.rows);
    QCOMPARE(storedPaths(shared, "A"), storedPaths(local, "A"));
    QCOMPARE(column(shared.database(), "SELECT COUNT(*) FROM DB WHERE Host = 'A' AND ID IN (" +
                                           column(local.database(), "SELECT ID FROM DB WHERE Host = 'A'").join(',') + ")"),
             QStringList{QString::number(r.rows - 1)});
    QCOMPARE(column(shared.database(), "SELECT Name FROM DB WHERE ID = " + dir1), QStringList{"theirs"});
    QVERIFY(NameSearch(shared.database()).find("%caf%").next());
    try {
        to.run();
        QFAIL("host A copied twice");
    } catch (const CatalogueError &e) {
        QVERIFY2(e.message().contains("holds host A already"), qPrintable(e.message()));
    }

    QTemporaryDir other;
    Catalogue back;
    back.open(other.filePath("DB"));
    CatalogueCopy from(shared, back);
    QCOMPARE(from.run().rows, r.rows + 1);
    QCOMPARE(storedPaths(back, "A"), storedPaths(local, "A"));
    QCOMPARE(column(back.database(), "SELECT ID FROM DB WHERE Name = 'theirs'"), QStringList{dir1});
    QSqlQuery found = NameSearch(back.database()).find("%deep%");
    QVERIFY(found.next());
}

QTEST_GUILESS_MAIN(tst_PgCatalogue)
#include "tst_pgcatalogue.moc"
