#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/NameIndex.h"
#include "core/catalogue/NameSearch.h"
#include "FoldedLike.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

class tst_NameSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void trigramQuery_data();
    void trigramQuery();
    void indexedFindEqualsLike();
    void usesIndexOnlyWithLongRun_data();
    void usesIndexOnlyWithLongRun();
    void changesThroughSqlKeepIndexInStep();
    void changesByAnotherProgramKeepIndexInStep();
    void namesAtTheEdgeOfPlainAreForgottenExactly();
    void extensionNarrowsFind();
    void interruptedBuildsFindWhatLikeFinds();
    void caseFreeInEveryScript_data();
    void caseFreeInEveryScript();
    void typeOfALongName();

private:
    std::set<qint32> ids(QSqlQuery &&q);
    // The rows whose names match, by a plain scan of the table folded in C++.
    using FoldedTable = QList<std::pair<qint32, QList<uint>>>;
    FoldedTable foldedTable();
    std::set<qint32> likeIds(const QString &pattern, const FoldedTable &table);
    std::set<qint32> likeIds(const QString &pattern);
    std::set<qint32> indexOnlyIds(const QString &trigram);
    QString randomName();
    QString randomPattern();

    QTemporaryDir m_dir;
    Catalogue m_cat;
    QStringList m_names;
    QRandomGenerator m_random{20261209};
};

namespace {
// Latin, Cyrillic and Greek in both cases (final sigma too), letters whose
// folding is longer (ß, ẞ, ﬁ), digits, a space, a dot, a quote (the FTS5
// query's delimiter) and a character outside the 16-bit range.
const QString Alphabet = QStringLiteral("abcABCxyzXYZ019 .\"абвАБВжЖёЁσςΣάΆßẞﬁsS") + QString::fromUcs4(U"\U0001F600", 1);
} // namespace

QString tst_NameSearch::randomName()
{
    const QList<uint> letters = Alphabet.toUcs4();
    QString name;
    const int length = 1 + m_random.bounded(12);
    for (int i = 0; i < length; ++i) {
        const char32_t c = letters[m_random.bounded(letters.size())];
        name += QString::fromUcs4(&c, 1);
    }
    return name;
}

// Mostly pieces of stored names with their case flipped and characters
// replaced by wildcards, so that many patterns find something.
QString tst_NameSearch::randomPattern()
{
    QList<uint> source = m_names[m_random.bounded(m_names.size())].toUcs4();
    if (m_random.bounded(4) == 0)
        source = randomName().toUcs4();
    const int length = 1 + m_random.bounded(6);
    const int from = m_random.bounded(qMax<qsizetype>(1, source.size() - length + 1));
    QString pattern;
    for (int i = from; i < from + length && i < source.size(); ++i) {
        char32_t c = source[i];
        const int roll = m_random.bounded(10);
        if (roll == 0)
            c = U'_';
        else if (roll == 1)
            c = U'%';
        QString s = QString::fromUcs4(&c, 1);
        pattern += m_random.bounded(2) ? s.toUpper() : s.toLower();
    }
    const int ends = m_random.bounded(4);
    return (ends & 1 ? "%" : "") + pattern + (ends & 2 ? "%" : "");
}

void tst_NameSearch::initTestCase()
{
    m_cat.open(m_dir.path());
    QVERIFY(m_cat.nameIndexReady());
    // Folders of 20 entries each; a name repeated in one folder is stored once.
    qint32 folder = 0;
    for (int i = 0; i < 4000; ++i) {
        if (i % 20 == 0)
            folder = 0;
        FileEntry e;
        e.name = randomName();
        e.kind = FileEntry::kindOf((i % 20 == 0) ? EntryAttr::Directory : EntryAttr::Normal);
        const qint32 id = m_cat.StoreEntry(e, folder, QStringLiteral("host"));
        if (e.isDirectory())
            folder = id;
    }
    for (const char *name : {"ДОКУМЕНТЫ", "Документы", "документы.txt", "ΣΊΣΥΦΟΣ", "σίσυφος", "Hauptstraße",
                             "HAUPTSTRASSE", "HAUPTSTRAẞE", "profile", "PROFILE", "proﬁle"}) {
        FileEntry e;
        e.name = QString::fromUtf8(name);
        m_cat.StoreEntry(e, 0, QStringLiteral("scripts"));
    }
    m_cat.flush();
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("SELECT Name FROM DB"));
    while (q.next())
        m_names << q.value(0).toString();
    QVERIFY(m_names.size() > 3000);
}

std::set<qint32> tst_NameSearch::ids(QSqlQuery &&q)
{
    std::set<qint32> result;
    while (q.next())
        result.insert(q.value(QStringLiteral("ID")).toInt());
    return result;
}

tst_NameSearch::FoldedTable tst_NameSearch::foldedTable()
{
    QSqlQuery q(m_cat.database());
    if (!q.exec("SELECT ID, Name FROM DB WHERE Name IS NOT NULL"))
        qFatal("%s", qPrintable(q.lastQuery()));
    FoldedTable table;
    while (q.next())
        table.append({q.value(0).toInt(), NameFold::fold(q.value(1).toString()).toUcs4()});
    return table;
}

std::set<qint32> tst_NameSearch::likeIds(const QString &pattern, const FoldedTable &table)
{
    const QList<uint> folded = NameFold::fold(pattern).toUcs4();
    std::set<qint32> result;
    for (const auto &[id, name] : table)
        if (FoldedLike::matchesFolded(name, folded))
            result.insert(id);
    return result;
}

std::set<qint32> tst_NameSearch::likeIds(const QString &pattern)
{
    return likeIds(pattern, foldedTable());
}

void tst_NameSearch::trigramQuery_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("query");
    QTest::newRow("substring") << "%abc%" << "\"abc\"";
    QTest::newRow("every trigram of a run") << "abcd" << "\"abc\" AND \"bcd\"";
    QTest::newRow("runs split by wildcards") << "ab_cde%fgh" << "\"cde\" AND \"fgh\"";
    QTest::newRow("no run of three") << "ab%cd_ef" << "";
    QTest::newRow("folded first") << "%STRAẞE%" << "\"str\" AND \"tra\" AND \"ras\" AND \"ass\" AND \"sse\"";
    QTest::newRow("wildcards only") << "%_%" << "";
    QTest::newRow("repeated trigram asked once") << "aaaa" << "\"aaa\"";
    QTest::newRow("quote doubled") << "a\"bc" << "\"a\"\"b\" AND \"\"\"bc\"";
    QTest::newRow("Cyrillic") << "%Жёл%" << "\"жёл\"";
    QTest::newRow("characters, not UTF-16 units") << QString::fromUcs4(U"\U0001F600ab", 3)
                                                  << "\"" + QString::fromUcs4(U"\U0001F600ab", 3) + "\"";
}

void tst_NameSearch::trigramQuery()
{
    QFETCH(QString, pattern);
    QFETCH(QString, query);
    QCOMPARE(NameSearch::trigramQuery(pattern), query);
}

void tst_NameSearch::indexedFindEqualsLike()
{
    const NameSearch search(m_cat.database());
    QVERIFY(search.hasIndex());
    int indexed = 0, found = 0;
    const FoldedTable table = foldedTable();
    for (int i = 0; i < 1000; ++i) {
        const QString pattern = randomPattern();
        const std::set<qint32> expected = likeIds(pattern, table);
        const std::set<qint32> actual = ids(search.find(pattern));
        QVERIFY2(actual == expected, qPrintable(QStringLiteral("pattern %1: %2 rows, LIKE %3")
                                                    .arg(pattern).arg(actual.size()).arg(expected.size())));
        indexed += search.condition(pattern).indexed;
        found += !expected.empty();
    }
    // The comparison means something only if the index answered often and
    // the patterns found rows.
    QVERIFY2(indexed > 300, qPrintable(QString::number(indexed)));
    QVERIFY2(found > 500, qPrintable(QString::number(found)));
}

void tst_NameSearch::usesIndexOnlyWithLongRun_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("indexed");
    QTest::newRow("three letters") << "%abc%" << true;
    QTest::newRow("two letters") << "%ab%" << false;
    QTest::newRow("split run") << "a_b%c" << false;
    QTest::newRow("everything") << "%" << false;
}

void tst_NameSearch::usesIndexOnlyWithLongRun()
{
    QFETCH(QString, pattern);
    QFETCH(bool, indexed);
    const NameSearch search(m_cat.database());
    const NameSearch::Condition c = search.condition(pattern);
    QCOMPARE(c.indexed, indexed);
    QSqlQuery q(m_cat.database());
    q.prepare("EXPLAIN QUERY PLAN SELECT * FROM DB WHERE " + c.sql);
    for (const QVariant &v : c.values)
        q.addBindValue(v);
    QVERIFY(q.exec());
    QString plan;
    while (q.next())
        plan += q.value(3).toString() + "\n";
    QCOMPARE(plan.contains("SEARCH DB USING INTEGER PRIMARY KEY"), indexed);
    QCOMPARE(plan.contains("SCAN DB\n"), !indexed);
    // Without a complete index the same pattern scans.
    QVERIFY(!NameSearch(m_cat.database(), false).condition(pattern).indexed);
}

void tst_NameSearch::changesThroughSqlKeepIndexInStep()
{
    const NameSearch search(m_cat.database());
    const qint32 id = m_cat.StoreEntry([] {
        FileEntry e;
        e.name = QStringLiteral("Unique Quokka");
        return e;
    }(), 0, QStringLiteral("other"));
    m_cat.flush();
    QCOMPARE(ids(search.find("%quokka%")), (std::set<qint32>{id}));
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec(QStringLiteral("UPDATE DB SET Name = 'Wombat' WHERE ID = %1").arg(id)));
    QVERIFY(ids(search.find("%quokka%")).empty());
    QCOMPARE(ids(search.find("wom%")), (std::set<qint32>{id}));
    // A rename folds anew: the old folded name leaves the index whole.
    QVERIFY(q.exec(QStringLiteral("UPDATE DB SET Name = 'ΣΟΦΊΑ' WHERE ID = %1").arg(id)));
    QCOMPARE(ids(search.find("%σοφία%")), (std::set<qint32>{id}));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM DB WHERE ID = %1").arg(id)));
    QVERIFY(ids(search.find("%σοφία%")).empty());
    QVERIFY(q.exec("INSERT INTO DB_FoldedNames (DB_FoldedNames) VALUES ('integrity-check')"));
}

void tst_NameSearch::extensionNarrowsFind()
{
    FileEntry e;
    e.name = QStringLiteral("narrowed.txt");
    m_cat.StoreEntry(e, 0, QStringLiteral("ext"));
    e.name = QStringLiteral("narrowed.doc");
    m_cat.StoreEntry(e, 1, QStringLiteral("ext"));
    m_cat.flush();
    const NameSearch search(m_cat.database());
    QCOMPARE(ids(search.find("narrowed", "%")).size(), 2u);
    QCOMPARE(ids(search.find("narrowed", "t%")).size(), 1u);
}

std::set<qint32> tst_NameSearch::indexOnlyIds(const QString &trigram)
{
    QSqlQuery q(m_cat.database());
    q.prepare("SELECT ID FROM DB WHERE rowid IN (SELECT rowid FROM DB_FoldedNames WHERE DB_FoldedNames MATCH ?)");
    q.addBindValue('"' + trigram + '"');
    if (!q.exec())
        qFatal("%s", qPrintable(q.lastError().text()));
    return ids(std::move(q));
}

// Another program has none of the program's SQL functions: its deletes and
// renames must still go through, and finds must stay exact before the
// program folds the renamed names and after (the index alone answers then).
void tst_NameSearch::changesByAnotherProgramKeepIndexInStep()
{
    QMap<QString, qint32> id;
    for (const char *name : {"Plain Koala", "Plain Emu", "Ärger Koala", "Große Koala", "Drop Ödland", "Drop Plain",
                             "Twice Koala", "Gone Koala"}) {
        FileEntry e;
        e.name = QString::fromUtf8(name);
        id[e.name] = m_cat.StoreEntry(e, 0, QStringLiteral("edited"));
    }
    m_cat.flush();
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(m_cat.database().databaseName());
        QVERIFY(other.open());
        QSqlQuery q(other);
        const QList<std::pair<QString, QString>> edits{
            {"Plain Koala", "Plain Wallaby"},      // plain to plain: folded by lower()
            {"Ärger Koala", "ÄRGER WALLABY"},      // to a name lower() cannot fold: stale
            {"Große Koala", "Grosse Wallaby"},     // forgotten through its stored folded name
            {"Plain Emu", "Émeu Wallaby"},
            {"Twice Koala", "Ñandú Wallaby"},
            {"Ñandú Wallaby", "Ñandú Twice Wallaby"}, // a stale row renamed again
            {"Gone Koala", "Gone Wallaby"}};
        for (const auto &[from, to] : edits)
            QVERIFY2(q.exec(QStringLiteral("UPDATE DB SET Name = '%1' WHERE Name = '%2'").arg(to, from)),
                     qPrintable(q.lastError().text()));
        for (const char *gone : {"Drop Ödland", "Drop Plain", "Gone Wallaby"}) // the last one stale
            QVERIFY2(q.exec(QStringLiteral("DELETE FROM DB WHERE Name = '%1'").arg(QString::fromUtf8(gone))),
                     qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    const auto findsExact = [this] {
        const NameSearch search(m_cat.database());
        for (const char *pattern : {"%koala%", "%wallaby%", "%ödland%", "%ärger%", "%große%", "%ÉMEU%", "%ñandú twice%",
                                    "drop%", "gone%"})
            QVERIFY2(ids(search.find(QString::fromUtf8(pattern))) == likeIds(QString::fromUtf8(pattern)), pattern);
        QCOMPARE(ids(search.find("%wallaby%")).size(), 5u);
    };
    findsExact();
    m_cat.close();
    m_cat.open(m_dir.path());
    QVERIFY(m_cat.nameIndexReady());
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("SELECT COUNT(*) FROM DB_FoldedNamesStale") && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    findsExact();
    // Every old name forgotten with the very trigrams it was indexed by (folded: ß is ss).
    for (const char *trigram : {"koa", "wal", "ödl", "ärg", "ros", "dro", "ñan", "éme"})
        QVERIFY2(indexOnlyIds(QString::fromUtf8(trigram)) == likeIds(u'%' + QString::fromUtf8(trigram) + u'%'), trigram);
    QVERIFY(q.exec("INSERT INTO DB_FoldedNames (DB_FoldedNames) VALUES ('integrity-check')"));
}

// The program decides in C which folded names to keep beside the index,
// where the triggers of another program decide in SQL which to fold by
// lower(): the two must agree on every name, or a removal forgets trigrams
// the index never held.
void tst_NameSearch::namesAtTheEdgeOfPlainAreForgottenExactly()
{
    const QStringList names{QStringLiteral("edge ~tilde~"), QStringLiteral("edge\ttab"), QStringLiteral("edge\x7f del"),
                            QStringLiteral("edge \x1f unit"), QStringLiteral("EDGE é"), QStringLiteral("Edge Space ")};
    for (const QString &name : names) {
        FileEntry e;
        e.name = name;
        m_cat.StoreEntry(e, 0, QStringLiteral("edges"));
    }
    m_cat.flush();
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec("SELECT COUNT(*) FROM DB_FoldedNamesNonAscii WHERE ID IN (SELECT rowid FROM DB WHERE Host = 'edges')")
            && q.next());
    QCOMPARE(q.value(0).toInt(), 4); // tab, DEL, unit separator, é
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(m_cat.database().databaseName());
        QVERIFY(other.open());
        QSqlQuery d(other);
        QVERIFY2(d.exec("DELETE FROM DB WHERE Host = 'edges'"), qPrintable(d.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QVERIFY2(q.exec("INSERT INTO DB_FoldedNames (DB_FoldedNames) VALUES ('integrity-check')"), qPrintable(q.lastError().text()));
    QVERIFY(ids(NameSearch(m_cat.database()).find("edge%")).empty());
    QVERIFY(indexOnlyIds(QStringLiteral("edg")).empty());
}

// A catalogue from before the index, its build stopped after every batch
// and resumed at the next open: finds equal LIKE at each step, and the
// index ends whole. Last: it leaves the index complete, as it found it.
void tst_NameSearch::interruptedBuildsFindWhatLikeFinds()
{
    QSqlDatabase db = m_cat.database();
    QSqlQuery q(db);
    for (const char *drop : {"DROP TRIGGER DB_FoldedNamesDelete", "DROP TRIGGER DB_FoldedNamesUpdate",
                             "DROP TABLE DB_FoldedNames", "DROP TABLE DB_FoldedNamesState", "DROP TABLE DB_FoldedNamesNonAscii",
                             "DROP TABLE DB_FoldedNamesStale"})
        QVERIFY2(q.exec(drop), drop);
    QVERIFY(!NameIndex::exists(db));
    int steps = 0;
    do {
        int batches = 0;
        NameIndex::ensure(db, [&](qint64, qint64) { return batches++ < 1; }, 700);
        const NameSearch search(db);
        const FoldedTable table = foldedTable();
        for (int i = 0; i < 100; ++i) {
            const QString pattern = randomPattern();
            QVERIFY2(ids(search.find(pattern)) == likeIds(pattern, table), qPrintable(pattern));
        }
        ++steps;
    } while (!NameIndex::isReady(db));
    QVERIFY(steps >= 5);
    QVERIFY(q.exec("INSERT INTO DB_FoldedNames (DB_FoldedNames) VALUES ('integrity-check')"));
    QVERIFY(NameSearch(db).condition("%abc%").indexed);
}

void tst_NameSearch::caseFreeInEveryScript_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("found");
    const QStringList documents{"ДОКУМЕНТЫ", "Документы", "документы.txt"};
    QTest::newRow("Cyrillic, upper") << "%ДОКУМЕНТЫ%" << documents;
    QTest::newRow("Cyrillic, mixed") << "%Документы%" << documents;
    QTest::newRow("Cyrillic, lower") << "документы%" << documents;
    QTest::newRow("Cyrillic, one letter open") << "доку_енты" << documents;
    // Final sigma folds as sigma does.
    const QStringList sisyphus{"ΣΊΣΥΦΟΣ", "σίσυφος"};
    QTest::newRow("Greek, upper") << "%ΣΊΣΥΦΟΣ%" << sisyphus;
    QTest::newRow("Greek, lower") << "σίσυφοσ" << sisyphus;
    const QStringList street{"Hauptstraße", "HAUPTSTRASSE", "HAUPTSTRAẞE"};
    QTest::newRow("German, ss") << "%STRASSE" << street;
    QTest::newRow("German, sharp s") << "%straße" << street;
    QTest::newRow("German, capital sharp s") << "%STRAẞE" << street;
    // "_" stands for one character of the folded name: ß is two.
    QTest::newRow("German, ss as two characters") << "%stra__e" << street;
    QTest::newRow("ligature") << "%ﬁle%" << QStringList{"profile", "PROFILE", "proﬁle"};
}

// Each answer is also checked against a plain scan folded in C++.
void tst_NameSearch::caseFreeInEveryScript()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, found);
    const NameSearch search(m_cat.database());
    QSqlQuery q = search.find(pattern);
    QStringList names;
    while (q.next()) {
        if (q.value("Host").toString() == QLatin1String("scripts"))
            names << EntryName{q.value("Name").toString(), q.value("ext").toString()}.fileName();
    }
    names.sort();
    found.sort();
    QCOMPARE(names, found);
    QCOMPARE(ids(search.find(pattern)), likeIds(pattern));
}

// The type comes from the whole listed name, however long.
void tst_NameSearch::typeOfALongName()
{
    FileEntry e;
    e.name = QString(96, u'L') + QStringLiteral(".PDF");
    const qint32 id = m_cat.StoreEntry(e, 0, QStringLiteral("long"));
    m_cat.flush();
    const NameSearch search(m_cat.database());
    QCOMPARE(ids(search.find("%llll%", "pdf")), (std::set<qint32>{id}));
    QCOMPARE(ids(search.find("%", "pdf")).count(id), 1u);
}

QTEST_GUILESS_MAIN(tst_NameSearch)
#include "tst_namesearch.moc"
