#include "core/base/ListedTime.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueUpgrade.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/IdDraw.h"
#include "core/catalogue/LacTime.h"
#include "core/catalogue/NameSearch.h"
#include "core/catalogue/SqlDialect.h"
#include "core/catalogue/SqliteNameFold.h"

#include <QSqlQuery>
#include <QDir>
#include <QTemporaryDir>
#include <limits>
#include <QtTest>
#include <cstring>
#include <sqlite3.h>
#include <thread>

class tst_Catalogue : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void createsFolderAndTable();
    void schemaIsWhatStoredCataloguesHave();
    void largestSizeIsExact();
    void catalogueWithDoubleSizesStillReadsAndStores();
    void storesFieldsAsListed();
    void unknownSizeIsZero();
    void changedSizeOrTimeUpdatesTheRow();
    void timesToTheirPrecisionAreNoChange();
    void unlistedChildrenOfAFolder();
    void lastAccessBytesRoundTrip();
    void duplicatesMatchWithinOneFolder();
    void sameNameOnTwoHosts();
    void longHostIsKeptWhole();
    void rescanStoresNothing();
    void idDraw();
    void newRecordIdWhenClosed();
    void lookupsUseIndexes_data();
    void lookupsUseIndexes();
    void commitsSurviveReopen();
    void recordCountFollowsEveryChange();
    void commitsOnTimeWithoutAnotherStore();
    void userUniqueIndexIsAnErrorNotALoop();
    void openWaitsForAnotherWriter_data();
    void openWaitsForAnotherWriter();
    void keptChangesGoOutWithTheirCommit();
    void oldCatalogueGainsNameIndex();
    void interruptedIndexBuildLeavesUsableCatalogue();
    void catalogueOfThePreviousSchemaIsUpgradedOnce();

private:
    static FileEntry entry(const QString &name, quint32 attr = 128, quint64 size = 0);
    QVariantList row(qint32 id);
    void makeOldCatalogue(const QString &folder, int rows);
    static QStringList foundNames(const Catalogue &cat, const QString &pattern);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Catalogue> m_cat;
};

FileEntry tst_Catalogue::entry(const QString &name, quint32 attr, quint64 size)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    e.size = size;
    return e;
}

QVariantList tst_Catalogue::row(qint32 id)
{
    QSqlQuery q(m_cat->database());
    q.prepare("SELECT Name, ext, Size, Host, Attr, LAC, ID, PID FROM DB WHERE ID = ?");
    q.addBindValue(id);
    q.exec();
    QVariantList values;
    if (q.next())
        for (int i = 0; i < 8; ++i)
            values << q.value(i);
    return values;
}

void tst_Catalogue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(m_dir->filePath("DB"));
}

void tst_Catalogue::cleanup()
{
    m_cat.reset();
    m_dir.reset();
}

void tst_Catalogue::createsFolderAndTable()
{
    QVERIFY(QFile::exists(Catalogue::fileIn(m_dir->filePath("DB"))));
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("PRAGMA table_info(DB)"));
    QStringList fields;
    while (q.next())
        fields << q.value(1).toString();
    QCOMPARE(fields, (QStringList{"Name", "ext", "Size", "Host", "Attr", "LAC", "ID", "PID"}));
    QCOMPARE(m_cat->recordCount(), 0);
}

// Every table and index as catalogues made by earlier versions hold them:
// the schema is written once for both databases, and must not drift.
void tst_Catalogue::schemaIsWhatStoredCataloguesHave()
{
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("SELECT name, sql FROM sqlite_master WHERE name NOT LIKE 'DB_FoldedNames%' "
                   "AND name NOT LIKE 'sqlite_%' ORDER BY name"));
    QStringList schema;
    while (q.next())
        schema << q.value(0).toString() + ": " + q.value(1).toString();
    const QStringList expected{
        "DB: CREATE TABLE DB (Name VARCHAR(80), ext VARCHAR(5), Size INTEGER, Host VARCHAR(255), Attr INTEGER, "
        "LAC DOUBLE, ID INTEGER, PID INTEGER)",
        "DB_Folder: CREATE INDEX DB_Folder ON DB(PID, Name, ext)",
        "DB_HostRows: CREATE INDEX DB_HostRows ON DB(+Host)",
        "DB_ID: CREATE UNIQUE INDEX DB_ID ON DB(ID)",
        "DB_LAC: CREATE INDEX DB_LAC ON DB(Host, LAC)",
        "DB_Name: CREATE INDEX DB_Name ON DB(Host, Name)",
        "DB_Size: CREATE INDEX DB_Size ON DB(Size)",
        "ExactName: CREATE TABLE ExactName (ID INTEGER PRIMARY KEY, Bytes BLOB NOT NULL)",
        "HostCodePage: CREATE TABLE HostCodePage (Host TEXT PRIMARY KEY, CodePage TEXT)",
        "PendingFolder: CREATE TABLE PendingFolder (Host TEXT NOT NULL, Seq BIGINT NOT NULL, Path BLOB NOT NULL, "
        "ParentId INTEGER NOT NULL, Fresh INTEGER NOT NULL, PRIMARY KEY (Host, Seq))",
        "ScanChange: CREATE TABLE ScanChange (Host TEXT, Change TEXT, ID INTEGER, Path BLOB, Run BIGINT)",
        "ScanLock: CREATE TABLE ScanLock (Host TEXT PRIMARY KEY, Machine TEXT, Boot TEXT, Pid BIGINT, Heartbeat TEXT)",
        "ScanRun: CREATE TABLE ScanRun (Host TEXT NOT NULL, Started TEXT NOT NULL, Ended TEXT NOT NULL, Run BIGINT, "
        "Result TEXT, Entries BIGINT, Folders BIGINT, Added BIGINT, Changed BIGINT, Removed BIGINT, UnreadLines BIGINT, "
        "Method TEXT, Greeting TEXT, StartFolder TEXT)",
        "ScanRun_Host: CREATE INDEX ScanRun_Host ON ScanRun(Host, Run)",
        "UnlistedRow: CREATE TABLE UnlistedRow (Host TEXT NOT NULL, ID INTEGER NOT NULL, Folder BLOB NOT NULL)"};
    QCOMPARE(schema, expected);
    QVERIFY(q.exec("PRAGMA page_size") && q.next());
    QCOMPARE(q.value(0).toInt(), 4096);
    QVERIFY(q.exec("PRAGMA journal_mode") && q.next());
    QCOMPARE(q.value(0).toString(), "wal");
    // A new catalogue needs none of the upgrades.
    QVERIFY(q.exec("PRAGMA user_version") && q.next());
    QCOMPARE(q.value(0).toInt(), CatalogueUpgrade::SqliteVersion);
}

void tst_Catalogue::largestSizeIsExact()
{
    const quint64 largest = quint64(std::numeric_limits<qint64>::max());
    const qint32 id = m_cat->StoreEntry(entry("huge.img", 128, largest), 0, "h");
    m_cat->flush();
    const QVariant size = row(id)[2];
    QCOMPARE(size.toLongLong(), std::numeric_limits<qint64>::max());
    QCOMPARE(m_cat->StoreEntry(entry("huge.img", 128, largest), 0, "h"), id);
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Unchanged);
    QCOMPARE(m_cat->recordById(id)->size.toLongLong(), std::numeric_limits<qint64>::max());
}

// A catalogue made before keeps its DOUBLE column: its sizes read back, and
// a rescan that lists the same size changes nothing.
void tst_Catalogue::catalogueWithDoubleSizesStillReadsAndStores()
{
    m_cat.reset();
    const QString folder = m_dir->filePath("old");
    QDir().mkpath(folder);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(Catalogue::fileIn(folder));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE DB (Name VARCHAR(80), ext VARCHAR(5), Size DOUBLE, Host VARCHAR(255), "
                       "Attr INTEGER, LAC DOUBLE, ID INTEGER, PID INTEGER)"));
        QVERIFY(q.exec("INSERT INTO DB VALUES ('old', 'iso', 5368709120.0, 'h', 128, 0, 7, 0)"));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase("old");
    m_cat = std::make_unique<Catalogue>();
    m_cat->open(folder);
    QCOMPARE(row(7)[2].toLongLong(), 5368709120ll);
    QCOMPARE(m_cat->StoreEntry(entry("old.iso", 128, 5368709120ull), 0, "h"), 7);
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Unchanged);
    const qint32 added = m_cat->StoreEntry(entry("new.bin", 128, 12345), 0, "h");
    m_cat->flush();
    QCOMPARE(row(added)[2].toLongLong(), 12345ll);
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("SELECT sql FROM sqlite_master WHERE name = 'DB'") && q.next());
    QVERIFY2(q.value(0).toString().contains("Size DOUBLE"), "a stored table keeps its column");
}

void tst_Catalogue::storesFieldsAsListed()
{
    const qint32 dir = m_cat->StoreEntry(entry("pub", 16, 4096), 0, "h");
    const qint32 file = m_cat->StoreEntry(entry("BIG.ISO", 128, 5368709120ull), dir, "h");
    const QVariantList d = row(dir);
    QCOMPARE(d[0].toString(), "pub");
    QCOMPARE(d[1].toString(), "<DIR>");
    QCOMPARE(d[4].toInt(), 16);
    QCOMPARE(d[7].toInt(), 0);
    const QVariantList f = row(file);
    QCOMPARE(f[0].toString(), "BIG");
    QCOMPARE(f[1].toString(), "iso");
    QCOMPARE(f[2].toDouble(), 5368709120.0);
    QCOMPARE(f[3].toString(), "h");
    QCOMPARE(f[7].toInt(), dir);
}

void tst_Catalogue::unknownSizeIsZero()
{
    FileEntry e = entry("odd.bin");
    e.sizeKnown = false;
    const QVariant size = row(m_cat->StoreEntry(e, 0, "h"))[2];
    QVERIFY(!size.isNull());
    QCOMPARE(size.toDouble(), 0.0);
}

void tst_Catalogue::changedSizeOrTimeUpdatesTheRow()
{
    FileEntry e = entry("log.txt", 128, 100);
    const qint32 id = m_cat->StoreEntry(e, 0, "h");
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Added);
    m_cat->beginListing(0, "h", false);
    QCOMPARE(m_cat->StoreEntry(e, 0, "h"), id);
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Unchanged);
    e.size = 5000;
    QCOMPARE(m_cat->StoreEntry(e, 0, "h"), id);
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Changed);
    QCOMPARE(row(id)[2].toDouble(), 5000.0);
    e.time = 0x01D9F3A2B4C5D6E7ull;
    m_cat->beginListing(0, "h", false); // read back from the table
    QCOMPARE(m_cat->StoreEntry(e, 0, "h"), id);
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Changed);
    m_cat->beginListing(0, "h", false);
    m_cat->StoreEntry(e, 0, "h");
    QCOMPARE(m_cat->lastOutcome(), Catalogue::Outcome::Unchanged);
    QCOMPARE(m_cat->recordCount(), 1);
}

// ls gives a recent file's minute, and its day once it is six months old;
// MLSD gives the second. None of these is a change of the file, and the row
// keeps the finest time it was given.
void tst_Catalogue::timesToTheirPrecisionAreNoChange()
{
    constexpr quint64 Minute = 60ull * 10000000;
    const quint64 minuteStart = 0x01D9F3A2B4C50000ull / Minute * Minute;
    const quint64 dayStart = minuteStart / (24 * 60 * Minute) * (24 * 60 * Minute);
    FileEntry e = entry("log.txt", 128, 100);
    e.time = ListedTime::marked(minuteStart, TimePrecision::Minute);
    const qint32 id = m_cat->StoreEntry(e, 0, "h");
    const auto storedTime = [&] { return LacTime::fileTime(row(id)[5].toDouble()); };
    const auto rescan = [&](quint64 time) {
        e.time = time;
        m_cat->beginListing(0, "h", false);
        m_cat->StoreEntry(e, 0, "h");
        return m_cat->lastOutcome();
    };
    QCOMPARE(rescan(ListedTime::marked(dayStart, TimePrecision::Day)), Catalogue::Outcome::Unchanged);
    QCOMPARE(storedTime(), ListedTime::marked(minuteStart, TimePrecision::Minute));
    const quint64 exact = minuteStart + 41 * 10000000ull;
    QCOMPARE(rescan(exact), Catalogue::Outcome::Unchanged);
    QCOMPARE(storedTime(), exact);
    QCOMPARE(rescan(ListedTime::marked(minuteStart, TimePrecision::Minute)), Catalogue::Outcome::Unchanged);
    QCOMPARE(storedTime(), exact);
    QCOMPARE(rescan(ListedTime::marked(minuteStart + Minute, TimePrecision::Minute)), Catalogue::Outcome::Changed);
}

void tst_Catalogue::unlistedChildrenOfAFolder()
{
    const qint32 keep = m_cat->StoreEntry(entry("keep.txt"), 0, "h");
    const qint32 gone = m_cat->StoreEntry(entry("gone.txt"), 0, "h");
    const qint32 dir = m_cat->StoreEntry(entry("dir", 16), 0, "h");
    m_cat->StoreEntry(entry("other.txt"), 0, "other host");
    m_cat->beginListing(0, "h", false);
    QCOMPARE(m_cat->StoreEntry(entry("keep.txt"), 0, "h"), keep);
    QVERIFY2(m_cat->StoreEntry(entry("dir"), 0, "h") != dir, "a file where a folder was is a new entry");
    QList<qint32> unlisted = m_cat->unlisted();
    std::sort(unlisted.begin(), unlisted.end());
    QList<qint32> expected{gone, dir};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(unlisted, expected);
}

void tst_Catalogue::lastAccessBytesRoundTrip()
{
    for (const quint64 t : {0ull, 0x01D9F3A2B4C5D6E7ull, 0x0000000100000002ull}) {
        FileEntry e = entry(QStringLiteral("f%1").arg(t));
        e.time = t;
        const double stored = row(m_cat->StoreEntry(e, 0, "h"))[5].toDouble();
        quint64 back;
        std::memcpy(&back, &stored, sizeof back);
        QCOMPARE(back, t);
    }
}

void tst_Catalogue::duplicatesMatchWithinOneFolder()
{
    const qint32 a = m_cat->StoreEntry(entry("a", 16), 0, "h");
    const qint32 b = m_cat->StoreEntry(entry("b", 16), 0, "h");
    const qint32 txt = m_cat->StoreEntry(entry("readme.txt"), a, "h");
    QVERIFY(m_cat->StoreEntry(entry("readme.doc"), a, "h") != txt);
    QVERIFY2(m_cat->StoreEntry(entry("readme.txt"), b, "h") != txt, "same name in another folder");
    QVERIFY2(m_cat->StoreEntry(entry("lib", 16), a, "h") != m_cat->StoreEntry(entry("lib", 16), b, "h"),
             "folders of one name in two places stay apart");
    QCOMPARE(m_cat->StoreEntry(entry("readme.txt"), a, "h"), txt);
    QVERIFY2(m_cat->StoreEntry(entry("README.txt"), a, "h") != txt, "names compare case-sensitively");
    QCOMPARE(m_cat->recordCount(), 8);
}

void tst_Catalogue::sameNameOnTwoHosts()
{
    QVERIFY(m_cat->StoreEntry(entry("x.txt"), 0, "one") != m_cat->StoreEntry(entry("x.txt"), 0, "two"));
    QCOMPARE(m_cat->recordCount(), 2);
}

void tst_Catalogue::longHostIsKeptWhole()
{
    const QString host = "ftp.mirrorservice.org";
    const qint32 id = m_cat->StoreEntry(entry("pub", 16), 0, host);
    QCOMPARE(row(id)[3].toString(), host);
    QCOMPARE(m_cat->StoreEntry(entry("pub", 16), 0, host), id);
}

void tst_Catalogue::rescanStoresNothing()
{
    QList<qint32> first;
    for (int pass = 0; pass < 2; ++pass) {
        QList<qint32> ids;
        const qint32 top = m_cat->StoreEntry(entry("top", 16), 0, "h");
        ids << top;
        for (int i = 0; i < 50; ++i)
            ids << m_cat->StoreEntry(entry(QStringLiteral("f%1.dat").arg(i)), top, "h");
        m_cat->flush();
        if (pass == 0)
            first = ids;
        else
            QCOMPARE(ids, first);
    }
    QCOMPARE(m_cat->recordCount(), 51);
}

void tst_Catalogue::idDraw()
{
    for (quint32 s : {0u, 1u, 2u, 0x80000000u, 0xFFFFFFFFu}) {
        quint32 st = s;
        const qint32 v = IdDraw::draw(st);
        const quint32 next = s * 134775813u + 1u;
        QCOMPARE(st, next);
        QCOMPARE(v, next == 0 ? 0 : qint32(next - 1));
        QVERIFY(v != -1);
    }
    QSet<qint32> seen;
    for (int i = 0; i < 2000; ++i) {
        const qint32 id = m_cat->StoreEntry(entry(QStringLiteral("n%1").arg(i)), 0, "h");
        QVERIFY(id != 0 && id != -1);
        QVERIFY(!seen.contains(id));
        seen.insert(id);
    }
    QVERIFY(m_cat->NewRecordId() != 0);
}

void tst_Catalogue::newRecordIdWhenClosed()
{
    m_cat->close();
    QCOMPARE(m_cat->NewRecordId(), 0);
    QVERIFY_THROWS_EXCEPTION(CatalogueError, m_cat->StoreEntry(entry("x"), 0, "h"));
}

void tst_Catalogue::lookupsUseIndexes_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("duplicate test and children") << "SELECT Name, ext, ID FROM DB WHERE PID = 1 AND Host = 'h'";
    QTest::newRow("by ID") << "SELECT * FROM DB WHERE ID = 5";
    QTest::newRow("folder's children") << "SELECT * FROM DB WHERE PID = 5";
    QTest::newRow("tree level") << "SELECT ID, Name FROM DB WHERE PID = 5 AND Host = 'h' AND Attr = 16";
    QTest::newRow("a host's rows, for its statistics") << "SELECT Attr, PID, Size FROM DB WHERE +Host = 'h'";
}

void tst_Catalogue::lookupsUseIndexes()
{
    QFETCH(QString, sql);
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("EXPLAIN QUERY PLAN " + sql));
    QString plan;
    while (q.next())
        plan += q.value(3).toString() + "\n";
    QVERIFY2(plan.contains("USING INDEX") || plan.contains("USING COVERING INDEX"), qPrintable(plan));
}

void tst_Catalogue::commitsSurviveReopen()
{
    const qint32 id = m_cat->StoreEntry(entry("kept.txt"), 0, "h");
    m_cat->flush();
    m_cat.reset();
    Catalogue again;
    again.open(m_dir->filePath("DB"));
    QVERIFY(again.recordById(id).has_value());
}

// The count is kept between changes: each kind of change must show.
void tst_Catalogue::recordCountFollowsEveryChange()
{
    QCOMPARE(m_cat->recordCount(), 0);
    m_cat->StoreEntry(entry("a.txt"), 0, "h");
    m_cat->StoreEntry(entry("b.txt"), 0, "h");
    QCOMPARE(m_cat->recordCount(), 2); // not yet committed, on this connection
    m_cat->flush();
    QCOMPARE(m_cat->recordCount(), 2);
    QSqlQuery mine(m_cat->database());
    QVERIFY(mine.exec("DELETE FROM DB WHERE Name = 'a'"));
    QCOMPARE(m_cat->recordCount(), 1);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "writer");
        other.setDatabaseName(Catalogue::fileIn(m_dir->filePath("DB")));
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY(q.exec("INSERT INTO DB (Name, Host, ID, PID) VALUES ('c', 'h', 77, 0)"));
    }
    QSqlDatabase::removeDatabase("writer");
    QCOMPARE(m_cat->recordCount(), 2);
    QVERIFY(mine.exec("DELETE FROM DB"));
    QCOMPARE(m_cat->recordCount(), 0);
}

// Another connection sees the rows within a quarter second of the first
// store, while this thread only runs its events (as a stalled listing does).
void tst_Catalogue::commitsOnTimeWithoutAnotherStore()
{
    m_cat->StoreEntry(entry("first.txt"), 0, "H");
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "reader");
    other.setDatabaseName(Catalogue::fileIn(m_dir->filePath("DB")));
    QVERIFY(other.open());
    {
        QSqlQuery q(other);
        QVERIFY(q.exec("SELECT COUNT(*) FROM DB") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QElapsedTimer clock;
        clock.start();
        int seen = 0;
        while (seen == 0 && clock.elapsed() < 5000) {
            QTest::qWait(10);
            QVERIFY(q.exec("SELECT COUNT(*) FROM DB") && q.next());
            seen = q.value(0).toInt();
        }
        QCOMPARE(seen, 1);
        // The timer's own period, with room for a loaded machine's late timers.
        QVERIFY2(clock.elapsed() <= 4 * Catalogue::CommitAfterMs, qPrintable(QString::number(clock.elapsed())));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("reader");
}

// A unique index of the user's own refuses every ID alike: drawing again
// would never end.
void tst_Catalogue::userUniqueIndexIsAnErrorNotALoop()
{
    QSqlQuery q(m_cat->database());
    QVERIFY(q.exec("CREATE UNIQUE INDEX user_names ON DB(Name)"));
    q.finish();
    m_cat->StoreEntry(entry("same.txt"), 0, "H");
    QElapsedTimer clock;
    clock.start();
    QString error;
    try {
        m_cat->StoreEntry(entry("same.txt"), 7, "H");
    } catch (const CatalogueError &e) {
        error = e.message();
    }
    QVERIFY2(error.contains("UNIQUE constraint failed: DB.Name"), qPrintable(error));
    QVERIFY(clock.elapsed() < 1000);
    // The refused row left nothing in the table or any index, and the scan's
    // transaction goes on.
    m_cat->StoreEntry(entry("other.txt"), 0, "H");
    m_cat->flush();
    QCOMPARE(m_cat->recordCount(), 2);
    QVERIFY(q.exec("PRAGMA integrity_check"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    QVERIFY(q.exec("SELECT COUNT(*) FROM DB INDEXED BY DB_ID WHERE ID > -2147483649"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
}

void tst_Catalogue::openWaitsForAnotherWriter_data()
{
    QTest::addColumn<bool>("old");
    QTest::newRow("new catalogue") << false;
    QTest::newRow("catalogue made before its indexes") << true;
}

// Another program writes to the catalogue while this one opens it: the
// tables and indexes still to make wait for its commit, they do not fail.
void tst_Catalogue::openWaitsForAnotherWriter()
{
    QFETCH(bool, old);
    const QString folder = m_dir->filePath("shared");
    if (old)
        makeOldCatalogue(folder, 3);
    else
        QDir().mkpath(folder);
    const QByteArray file = Catalogue::fileIn(folder).toUtf8();
    std::atomic_bool locked = false;
    std::thread other([&file, &locked] {
        sqlite3 *db = nullptr;
        sqlite3_open(file.constData(), &db);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; BEGIN IMMEDIATE; CREATE TABLE Theirs (x)", nullptr, nullptr, nullptr);
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
    while (!locked)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QString error;
    Catalogue cat;
    try {
        cat.open(folder);
    } catch (const CatalogueError &e) {
        error = e.message();
    }
    other.join();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(cat.recordCount(), old ? 3 : 0);
    QSqlQuery q(cat.database());
    QVERIFY(q.exec("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('DB_Size', 'DB_HostRows', 'ScanChange')"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 3);
}

// A scan's change lines wait for the commit that stores their rows, and
// closing commits what was kept back.
void tst_Catalogue::keptChangesGoOutWithTheirCommit()
{
    const auto changesSeenByAnother = [this] {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(Catalogue::fileIn(m_dir->filePath("DB")));
        int n = -1;
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec("SELECT COUNT(*) FROM ScanChange") && q.next())
                n = q.value(0).toInt();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("reader");
        return n;
    };
    for (int i = 0; i < 70; ++i)
        m_cat->keepChange("H", "added", m_cat->StoreEntry(entry(QStringLiteral("f%1.txt").arg(i)), 0, "H"));
    m_cat->flush();
    QCOMPARE(changesSeenByAnother(), 70);
    m_cat->keepChange("H", "changed", 1);
    m_cat->close();
    QCOMPARE(changesSeenByAnother(), 71);
}

// A catalogue as stored before names had their trigram index: the table and
// its two indexes only.
void tst_Catalogue::makeOldCatalogue(const QString &folder, int rows)
{
    QDir().mkpath(folder);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(Catalogue::fileIn(folder));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE DB (Name VARCHAR(80), ext VARCHAR(5), Size DOUBLE, Host VARCHAR(255), "
                       "Attr INTEGER, LAC DOUBLE, ID INTEGER, PID INTEGER)"));
        QVERIFY(q.exec("CREATE UNIQUE INDEX DB_ID ON DB(ID)"));
        QVERIFY(q.exec("CREATE INDEX DB_Folder ON DB(PID, Host, Name, ext)"));
        db.transaction();
        q.prepare("INSERT INTO DB (Name, ext, Host, Attr, ID, PID) VALUES (?, 'txt', 'old', 128, ?, 0)");
        for (int i = 1; i <= rows; ++i) {
            q.addBindValue(QStringLiteral("report%1").arg(i));
            q.addBindValue(i);
            QVERIFY(q.exec());
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase("old");
}

QStringList tst_Catalogue::foundNames(const Catalogue &cat, const QString &pattern)
{
    QSqlQuery q = NameSearch(cat.database()).find(pattern);
    QStringList names;
    while (q.next())
        names << q.value("Name").toString();
    names.sort();
    return names;
}

void tst_Catalogue::oldCatalogueGainsNameIndex()
{
    const QString folder = m_dir->filePath("old");
    makeOldCatalogue(folder, 1000);
    Catalogue cat;
    QList<qint64> told;
    cat.open(folder, [&](qint64 done, qint64 total) {
        told << done;
        return total == 1000;
    });
    QVERIFY(cat.nameIndexReady());
    QCOMPARE(told.first(), 0);
    QCOMPARE(told.last(), 1000);
    QVERIFY(NameSearch(cat.database()).condition("%port99%").indexed);
    QCOMPARE(foundNames(cat, "%PORT99%"), (QStringList{"report99", "report990", "report991", "report992",
                                                       "report993", "report994", "report995", "report996",
                                                       "report997", "report998", "report999"}));
    cat.StoreEntry(entry("report99x.txt"), 0, "new");
    cat.flush();
    QCOMPARE(foundNames(cat, "%port99_").size(), 11);
}

void tst_Catalogue::interruptedIndexBuildLeavesUsableCatalogue()
{
    const QString folder = m_dir->filePath("old");
    makeOldCatalogue(folder, 1000);
    {
        // Stopped after three batches of 100 rows.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(Catalogue::fileIn(folder));
        QVERIFY(db.open());
        SqliteNameFold::install(SqlDialect::sqliteHandle(db));
        int batches = 0;
        QVERIFY(!NameIndex::ensure(db, [&](qint64, qint64) { return batches++ < 3; }, 100));
        QVERIFY(!NameIndex::isReady(db));
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT indexedTo FROM DB_FoldedNamesState") && q.next());
        QCOMPARE(q.value(0).toInt(), 300);
    }
    QSqlDatabase::removeDatabase("old");
    Catalogue cat;
    cat.open(folder, [](qint64, qint64) { return false; });
    QVERIFY(!cat.nameIndexReady());
    // Finds read the rows the index lacks, whether stored before or since.
    QCOMPARE(foundNames(cat, "%EPORT5%").size(), 111);
    QCOMPARE(foundNames(cat, "report5%").size(), 111);
    cat.StoreEntry(entry("report5new.txt"), 0, "new");
    cat.flush();
    QCOMPARE(foundNames(cat, "%eport5%").size(), 112);
    cat.close();
    cat.open(folder);
    QVERIFY(cat.nameIndexReady());
    QVERIFY(NameSearch(cat.database()).condition("%report%").indexed);
    QCOMPARE(foundNames(cat, "report5%").size(), 112);
    QSqlQuery q(cat.database());
    QVERIFY(q.exec("INSERT INTO DB_FoldedNames (DB_FoldedNames) VALUES ('integrity-check')"));
}

// As the version before this one left a catalogue: its trigram index on
// names as FTS5 folds them, and a name over 80 characters whose type was
// taken from the cut name (ext "p" of "rrr...r.pdf").
void tst_Catalogue::catalogueOfThePreviousSchemaIsUpgradedOnce()
{
    const QString folder = m_dir->filePath("previous");
    makeOldCatalogue(folder, 10);
    const QString listed = QString(78, u'r') + QStringLiteral(".pdf");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(Catalogue::fileIn(folder));
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const char *sql : {
                 "CREATE TABLE ExactName (ID INTEGER PRIMARY KEY, Bytes BLOB NOT NULL)",
                 "CREATE VIRTUAL TABLE DB_NameTrigrams USING fts5(Name, content='', columnsize=0, detail=none, tokenize='trigram')",
                 "CREATE TABLE DB_NameTrigramsState (indexedTo INTEGER)",
                 "CREATE TRIGGER DB_NameTrigramsDelete AFTER DELETE ON DB BEGIN INSERT INTO DB_NameTrigrams "
                 "(DB_NameTrigrams, rowid, Name) SELECT 'delete', old.rowid, old.Name; END",
                 "INSERT INTO DB (Name, ext, Host, Attr, ID, PID) VALUES ('ДОКУМЕНТЫ', '', 'old', 128, 100, 0)",
                 "INSERT INTO DB_NameTrigrams (rowid, Name) SELECT rowid, Name FROM DB",
                 "INSERT INTO DB_NameTrigramsState SELECT MAX(rowid) FROM DB"})
            QVERIFY2(q.exec(sql), sql);
        q.prepare("INSERT INTO DB (Name, ext, Host, Attr, ID, PID) VALUES (?, 'p', 'old', 128, 101, 0)");
        q.addBindValue(QString(78, u'r'));
        QVERIFY(q.exec());
        q.prepare("INSERT INTO ExactName (ID, Bytes) VALUES (101, ?)");
        q.addBindValue(listed.toUtf8());
        QVERIFY(q.exec());
        QVERIFY(q.exec("PRAGMA user_version") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
    QSqlDatabase::removeDatabase("old");
    Catalogue cat;
    cat.open(folder);
    QVERIFY(cat.nameIndexReady());
    QSqlQuery q(cat.database());
    QVERIFY(q.exec("SELECT ext FROM DB WHERE ID = 101") && q.next());
    QCOMPARE(q.value(0).toString(), "pdf");
    QCOMPARE(NameSearch(cat.database()).find("%rrr%", "pdf").next(), true);
    QVERIFY(NameSearch(cat.database()).condition("%документы%").indexed);
    QCOMPARE(foundNames(cat, "%документы%"), QStringList{"ДОКУМЕНТЫ"});
    QVERIFY(q.exec("SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'DB_NameTrigrams%'") && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    QVERIFY(q.exec("DELETE FROM DB WHERE ID = 1"));
    QVERIFY(q.exec("PRAGMA user_version") && q.next());
    QCOMPARE(q.value(0).toInt(), CatalogueUpgrade::SqliteVersion);
    // Once: the next open leaves ext as the user set it.
    QVERIFY(q.exec("UPDATE DB SET ext = 'p' WHERE ID = 101"));
    q = QSqlQuery();
    cat.close();
    cat.open(folder);
    q = QSqlQuery(cat.database());
    QVERIFY(q.exec("SELECT ext FROM DB WHERE ID = 101") && q.next());
    QCOMPARE(q.value(0).toString(), "p");
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
