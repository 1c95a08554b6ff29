#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/LineageWalk.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class tst_LineageWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void workedExample();
    void topLevelFile();
    void folderRow();
    void urlsEncodeEverySegment();
    void addressesUseListedNames();
    void sizeText_data();
    void sizeText();
    void missingParent();
    void loopingParents();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, quint64 size = 0, const QString &host = "H");
    QTemporaryDir m_dir;
    Catalogue m_cat;
    qint32 m_pub = 0, m_docs = 0, m_readme = 0;
};

qint32 tst_LineageWalk::store(const QString &name, quint32 attr, qint32 pid, quint64 size, const QString &host)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    e.size = size;
    return m_cat.StoreEntry(e, pid, host);
}

void tst_LineageWalk::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_cat.open(m_dir.filePath("DB"));
    m_pub = store("pub", 16, 0);
    m_docs = store("docs", 16, m_pub);
    m_readme = store("readme.txt", 128, m_docs, 2048);
}

void tst_LineageWalk::workedExample()
{
    LineageWalk walk(m_cat);
    const CatalogueRecord readme = *m_cat.recordById(m_readme);
    QCOMPARE(walk.recordPathText(readme.pid), QString("Record path:\r\\pub\r\\docs\r"));
    QCOMPARE(walk.explorerUrl(readme).toString(), QString("ftp://h/pub/docs/readme.txt"));
    const LineageWalk::Summary s = walk.recordSummary(m_readme);
    QCOMPARE(s.path, QString("//H/pub/docs/readme.txt"));
    QCOMPARE(s.size, QString("2.000 k"));
}

void tst_LineageWalk::topLevelFile()
{
    LineageWalk walk(m_cat);
    const qint32 id = store("Makefile", 128, 0, 10);
    const CatalogueRecord row = *m_cat.recordById(id);
    QCOMPARE(walk.recordPathText(row.pid), QString("Record path:\r"));
    QCOMPARE(walk.explorerUrl(row).toString(), QString("ftp://h/Makefile"));
    QCOMPARE(walk.recordSummary(id).path, QString("//H/Makefile."));
}

void tst_LineageWalk::folderRow()
{
    LineageWalk walk(m_cat);
    const CatalogueRecord docs = *m_cat.recordById(m_docs);
    QCOMPARE(walk.explorerUrl(docs).toString(), QString("ftp://h/pub/docs/"));
    QCOMPARE(walk.recordSummary(m_docs).path, QString("//H/pub/docs.<DIR>"));
}

void tst_LineageWalk::urlsEncodeEverySegment()
{
    LineageWalk walk(m_cat);
    const qint32 dir = store("a b#c", 16, 0, 0, "127.0.0.1:2121");
    const qint32 file = store(QString::fromUtf8("100%_отчёт.txt"), 128, dir, 0, "127.0.0.1:2121");
    const QUrl url = walk.explorerUrl(*m_cat.recordById(file));
    QCOMPARE(url.toString(QUrl::FullyEncoded),
             QString("ftp://127.0.0.1:2121/a%20b%23c/100%25_%D0%BE%D1%82%D1%87%D1%91%D1%82.txt"));
    QCOMPARE(url.port(), 2121);
}

// Explorer's address and the printed path name what the server listed; the
// status bar keeps Name and ext.
void tst_LineageWalk::addressesUseListedNames()
{
    LineageWalk walk(m_cat);
    auto storeListed = [&](const QByteArray &bytes, quint32 attr, qint32 pid) {
        FileEntry e;
        e.name = QString::fromLatin1(bytes);
        e.wireName = bytes;
        e.kind = FileEntry::kindOf(attr);
        return m_cat.StoreEntry(e, pid, "H");
    };
    const QByteArray longName = QByteArray(96, 'n') + ".txt";
    const qint32 dir = storeListed("Caf\xe9 " + QByteArray(90, 'd'), 16, 0);
    const qint32 readme = storeListed("README.TXT", 128, dir);
    const qint32 longFile = storeListed(longName, 128, dir);
    const QString dirPart = "Caf%E9%20" + QString(90, u'd');

    const CatalogueRecord r = *m_cat.recordById(readme);
    QCOMPARE(walk.explorerUrl(r).toString(QUrl::FullyEncoded), "ftp://h/" + dirPart + "/README.TXT");
    QCOMPARE(walk.explorerUrl(*m_cat.recordById(longFile)).toString(QUrl::FullyEncoded),
             "ftp://h/" + dirPart + "/" + QString::fromLatin1(longName));
    QCOMPARE(walk.explorerUrl(*m_cat.recordById(dir)).toString(QUrl::FullyEncoded), "ftp://h/" + dirPart + "/");
    walk.setCodePage("cp1251");
    QCOMPARE(walk.exactPath(r), QStringLiteral(u"//H/Caf\u0439 ") + QString(90, u'd') + "/README.TXT");
    QCOMPARE(walk.recordSummary(readme).path, QStringLiteral(u"//H/Caf\u00e9 ") + QString(75, u'd') + "/README.txt");
    QCOMPARE(walk.recordPathText(r.pid), QStringLiteral(u"Record path:\r\\Caf\u00e9 ") + QString(75, u'd') + "\r");
}

void tst_LineageWalk::sizeText_data()
{
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << "0.000 ";
    QTest::newRow("1024") << 1024.0 << "1024.000 ";
    QTest::newRow("1025") << 1025.0 << "1.001 k";
    QTest::newRow("1048576") << 1048576.0 << "1024.000 k";
    QTest::newRow("1048577") << 1048577.0 << "1.000 M";
    QTest::newRow("5 GiB") << 5368709120.0 << "5.000 G";
    QTest::newRow("1 TiB stays in G") << 1099511627776.0 << "1024.000 G";
}

void tst_LineageWalk::sizeText()
{
    QFETCH(double, bytes);
    QFETCH(QString, text);
    QCOMPARE(LineageWalk::sizeText(bytes), text);
}

void tst_LineageWalk::missingParent()
{
    LineageWalk walk(m_cat);
    const qint32 orphan = store("orphan.txt", 128, 123456);
    QVERIFY_THROWS_EXCEPTION(CatalogueError, walk.recordSummary(orphan));
    try {
        walk.recordPathText(123456);
        QFAIL("no error");
    } catch (const CatalogueError &e) {
        QCOMPARE(e.message(), QString("Record Not Found"));
    }
}

void tst_LineageWalk::loopingParents()
{
    LineageWalk walk(m_cat);
    const qint32 a = store("loopA", 16, 0);
    const qint32 b = store("loopB", 16, a);
    m_cat.flush();
    QSqlQuery q(m_cat.database());
    QVERIFY(q.exec(QStringLiteral("UPDATE DB SET PID = %1 WHERE ID = %2").arg(b).arg(a)));
    QVERIFY_THROWS_EXCEPTION(CatalogueError, walk.recordPathText(b));
    QVERIFY_THROWS_EXCEPTION(CatalogueError, walk.recordSummary(b));
}

QTEST_GUILESS_MAIN(tst_LineageWalk)
#include "tst_lineagewalk.moc"
