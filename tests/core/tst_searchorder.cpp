#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/LacTime.h"
#include "core/catalogue/PathSearch.h"
#include "core/catalogue/SearchOrder.h"
#include "PgTestServer.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <variant>

// Sorted finds read a page at a time, on both stores, against the table
// read plainly and sorted here.
class tst_SearchOrder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pagesFollowThePlainOrder_data();
    void pagesFollowThePlainOrder();
    void cursorsNameTheirOrder();
    void foreignCursorsAreRefused_data();
    void foreignCursorsAreRefused();

private:
    using Part = std::variant<QList<uint>, qint64, double>;
    struct Row
    {
        qint32 id;
        QList<Part> key;
        QString ext;
    };
    void fill(Catalogue &cat);
    void storeFolder(Catalogue &cat, const QString &host, qint32 parent, int depth);
    QList<Row> plainRows(Catalogue &cat, SearchOrder::Key key);

    PgTestServer m_server;
    QTemporaryDir m_dir;
    Catalogue m_sqlite, m_pg;
    QRandomGenerator m_random;
};

Q_DECLARE_METATYPE(SearchOrder::Key)

void tst_SearchOrder::storeFolder(Catalogue &cat, const QString &host, qint32 parent, int depth)
{
    // Few names, sizes and times, so that every key has ties for the ID to break.
    static const QStringList names{"alpha", "Beta", "ДОК", "doc", "Straße", "zeta", "Ω", "b"};
    static const QStringList types{"iso", "txt", ""};
    for (int i = 0; i < 7; ++i) {
        FileEntry e;
        const bool folder = depth < 2 && i < 2;
        const QString type = folder ? QString() : types[m_random.bounded(types.size())];
        e.name = names[m_random.bounded(names.size())] + QString::number(i) + (type.isEmpty() ? "" : "." + type);
        e.kind = folder ? FileEntry::Kind::Directory : FileEntry::Kind::File;
        e.size = folder ? 4096 : quint64(m_random.bounded(4)) << 31;
        const QDateTime when = QDateTime(QDate(2020, 1, 1 + m_random.bounded(3)), QTime(0, 0), Qt::UTC);
        e.time = m_random.bounded(5) ? LacTime::fileTime(LacTime::fromDateTime(when)) : 0;
        const qint32 id = cat.StoreEntry(e, parent, host);
        if (folder && cat.lastWasNew())
            storeFolder(cat, host, id, depth + 1);
    }
}

void tst_SearchOrder::fill(Catalogue &cat)
{
    m_random.seed(20261211);
    for (const QString host : {"ftp.one.example", "b.two.example", "Z.three.example"})
        storeFolder(cat, host, 0, 0);
    cat.flush();
}

void tst_SearchOrder::initTestCase()
{
    m_sqlite.open(m_dir.filePath("DB"));
    fill(m_sqlite);
    if (PgTestServer::binDir().isEmpty())
        return;
    QVERIFY2(m_server.start() && m_server.createDatabase("order"), qPrintable(m_server.error()));
    m_pg.open(m_server.url("order"));
    fill(m_pg);
}

// Every row with its key as this test reads it, in the key's order.
QList<tst_SearchOrder::Row> tst_SearchOrder::plainRows(Catalogue &cat, SearchOrder::Key key)
{
    QSqlQuery q(cat.database());
    if (!q.exec("SELECT Name, ext, Size, Host, LAC, ID, PID FROM DB"))
        qFatal("%s", qPrintable(q.lastError().text()));
    QList<Row> rows;
    while (q.next()) {
        const Part name = q.value(0).toString().toUcs4(), ext = q.value(1).toString().toUcs4(),
                   host = q.value(3).toString().toUcs4();
        Row r{q.value(5).toInt(), {}, q.value(1).toString()};
        switch (key) {
        case SearchOrder::Key::Name: r.key = {name, ext}; break;
        case SearchOrder::Key::Size: r.key = {q.value(2).toLongLong()}; break;
        case SearchOrder::Key::Date: r.key = {q.value(4).toDouble()}; break;
        case SearchOrder::Key::Host: r.key = {host, name}; break;
        case SearchOrder::Key::Path: r.key = {host, qint64(q.value(6).toInt()), name}; break;
        case SearchOrder::Key::Stored: break;
        }
        r.key << qint64(r.id);
        rows << r;
    }
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.key < b.key; });
    return rows;
}

void tst_SearchOrder::pagesFollowThePlainOrder_data()
{
    QTest::addColumn<SearchOrder::Key>("key");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("isoOnly");
    for (const auto &[word, key] : {std::pair{"name", SearchOrder::Key::Name}, {"size", SearchOrder::Key::Size},
                                    {"date", SearchOrder::Key::Date}, {"host", SearchOrder::Key::Host},
                                    {"path", SearchOrder::Key::Path}}) {
        QTest::addRow("%s up", word) << key << false << false;
        QTest::addRow("%s down", word) << key << true << false;
    }
    QTest::newRow("size down, iso only") << SearchOrder::Key::Size << true << true;
}

void tst_SearchOrder::pagesFollowThePlainOrder()
{
    QFETCH(SearchOrder::Key, key);
    QFETCH(bool, descending);
    QFETCH(bool, isoOnly);
    SearchTerms terms;
    if (isoOnly)
        terms.types = {"iso"};
    for (Catalogue *cat : {&m_sqlite, &m_pg}) {
        if (!cat->isOpen())
            continue;
        QList<qint32> expected;
        for (const Row &r : plainRows(*cat, key))
            if (!isoOnly || r.ext == "iso")
                expected << r.id;
        if (descending)
            std::reverse(expected.begin(), expected.end());
        QVERIFY(expected.size() > 20);
        PathSearch search(cat->database());
        SearchOrder order(key, descending);
        QList<qint32> found;
        for (int page = 0; page < 100; ++page) {
            QString last;
            try {
                const qint64 told = search.find(terms, {}, order, 7, [&](const PathSearch::Hit &hit) {
                    found << hit.row.id;
                    last = order.cursorAfter(hit.row, hit.lac);
                    return true;
                });
                if (told < 7)
                    break;
            } catch (const CatalogueError &e) {
                QFAIL(qPrintable(e.message()));
            }
            const std::optional<SearchOrder> next = SearchOrder::fromCursor(last);
            QVERIFY(next && next->key() == key && next->descending() == descending);
            order = *next;
        }
        QCOMPARE(found, expected);
    }
}

void tst_SearchOrder::cursorsNameTheirOrder()
{
    CatalogueRecord row;
    row.name = "<script>\"'\x01";
    row.ext = "iso";
    row.host = "h";
    row.size = Q_INT64_C(9007199254740993); // past a double's exact integers
    row.id = -5;
    row.pid = 12;
    for (const SearchOrder::Key key : {SearchOrder::Key::Name, SearchOrder::Key::Size, SearchOrder::Key::Path}) {
        const QString cursor = SearchOrder(key, true).cursorAfter(row, 1.5e17);
        QVERIFY(QRegularExpression("^[A-Za-z0-9_-]+$").match(cursor).hasMatch());
        const std::optional<SearchOrder> back = SearchOrder::fromCursor(cursor);
        QVERIFY(back && back->key() == key && back->descending() && back->hasStart());
        const QVariantList values = back->start(QSqlDatabase::database()).params;
        QCOMPARE(values.last(), QVariant(-5));
        if (key == SearchOrder::Key::Size)
            QCOMPARE(values.first(), QVariant(Q_INT64_C(9007199254740993)));
    }
    QVERIFY(SearchOrder(SearchOrder::Key::Stored, false).cursorAfter(row, 0).isEmpty());
}

void tst_SearchOrder::foreignCursorsAreRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("not JSON") << QByteArray("name,0,a,1");
    QTest::newRow("unknown key") << QByteArray(R"(["colour",0,"red","1"])");
    QTest::newRow("too few values") << QByteArray(R"(["name",0,"1"])");
    QTest::newRow("a size that is no number") << QByteArray(R"(["size",0,"1; DROP TABLE DB","1"])");
    QTest::newRow("an ID that is no number") << QByteArray(R"(["date",0,"1","x"])");
    QTest::newRow("numbers for text") << QByteArray(R"(["host",0,1,2,"3"])");
}

void tst_SearchOrder::foreignCursorsAreRefused()
{
    QFETCH(QByteArray, json);
    QVERIFY(!SearchOrder::fromCursor(QString::fromLatin1(json.toBase64(QByteArray::Base64UrlEncoding))));
    QVERIFY(!SearchOrder::fromCursor(QStringLiteral("not base64 at all!")));
}

QTEST_GUILESS_MAIN(tst_SearchOrder)
#include "tst_searchorder.moc"
