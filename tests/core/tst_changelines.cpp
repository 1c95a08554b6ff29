#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ChangeLines.h"

#include <QtTest>
#include <sqlite3.h>

class tst_ChangeLines : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyLineInOrder_data();
    void everyLineInOrder();
    void failedStatementKeepsItsLines_data();
    void failedStatementKeepsItsLines();

private:
    QStringList stored();
    sqlite3 *m_db = nullptr;
};

void tst_ChangeLines::init()
{
    QCOMPARE(sqlite3_open(":memory:", &m_db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(m_db, "CREATE TABLE ScanChange (Host TEXT, Change TEXT, ID INTEGER, Path BLOB)", nullptr,
                          nullptr, nullptr),
             SQLITE_OK);
}

void tst_ChangeLines::cleanup()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

QStringList tst_ChangeLines::stored()
{
    sqlite3_stmt *q = nullptr;
    sqlite3_prepare_v2(m_db, "SELECT Host, Change, ID FROM ScanChange ORDER BY rowid", -1, &q, nullptr);
    QStringList rows;
    while (sqlite3_step(q) == SQLITE_ROW)
        rows << QStringLiteral("%1 %2 %3")
                    .arg(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)),
                         reinterpret_cast<const char *>(sqlite3_column_text(q, 1)))
                    .arg(sqlite3_column_int(q, 2));
    sqlite3_finalize(q);
    return rows;
}

void tst_ChangeLines::everyLineInOrder_data()
{
    QTest::addColumn<int>("count");
    for (int n : {0, 1, ChangeLines::PerStatement - 1, ChangeLines::PerStatement, ChangeLines::PerStatement + 1,
                  2 * ChangeLines::PerStatement + 22})
        QTest::addRow("%d lines", n) << n;
}

// Full statements go out as lines arrive, the rest when asked: the table
// holds every line once, in the order kept, with its own host and kind.
void tst_ChangeLines::everyLineInOrder()
{
    QFETCH(int, count);
    ChangeLines lines;
    lines.prepare(m_db);
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const QByteArray host = i % 3 ? "ftp.example" : "other:2121";
        const QByteArray change = i % 5 ? "added" : "changed";
        lines.add(host, change, 1000 - i);
        expected << QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(host), QString::fromLatin1(change)).arg(1000 - i);
    }
    QCOMPARE(stored().size(), count - count % ChangeLines::PerStatement);
    lines.write();
    QVERIFY(lines.isEmpty());
    QCOMPARE(stored(), expected);
    lines.write();
    QCOMPARE(stored(), expected);
}

void tst_ChangeLines::failedStatementKeepsItsLines_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("lines one at a time") << 3;
    QTest::newRow("a full statement") << ChangeLines::PerStatement;
}

// A statement that fails writes none of its lines: they stay kept, in
// order, and a later write puts each in the table once.
void tst_ChangeLines::failedStatementKeepsItsLines()
{
    QFETCH(int, count);
    ChangeLines lines;
    lines.prepare(m_db);
    QCOMPARE(sqlite3_exec(m_db, "CREATE TRIGGER refuse BEFORE INSERT ON ScanChange WHEN new.ID = 2 "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    QStringList expected;
    bool refused = false;
    for (int id = 1; id <= count; ++id) {
        expected << QStringLiteral("H added %1").arg(id);
        try {
            lines.add("H", "added", id);
        } catch (const CatalogueError &) {
            refused = true;
        }
    }
    if (!refused)
        QVERIFY_THROWS_EXCEPTION(CatalogueError, lines.write());
    QVERIFY(!lines.isEmpty());
    QCOMPARE(sqlite3_exec(m_db, "DROP TRIGGER refuse", nullptr, nullptr, nullptr), SQLITE_OK);
    lines.write();
    QVERIFY(lines.isEmpty());
    QCOMPARE(stored(), expected);
}

QTEST_GUILESS_MAIN(tst_ChangeLines)
#include "tst_changelines.moc"
