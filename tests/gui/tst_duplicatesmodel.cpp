#include "browse/DuplicatesModel.h"
#include "core/catalogue/Catalogue.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QtTest>

// Groups of copies as a tree: a row per group, its copies below it.
class tst_DuplicatesModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void groupsAndCopies();
    void bySizeAloneAndByHost();

private:
    qint32 store(const QString &host, qint32 pid, const QString &name, quint64 size, bool folder = false);
    QTemporaryDir m_dir;
    Catalogue m_cat;
};

qint32 tst_DuplicatesModel::store(const QString &host, qint32 pid, const QString &name, quint64 size, bool folder)
{
    FileEntry e;
    e.name = name;
    e.kind = folder ? FileEntry::Kind::Directory : FileEntry::Kind::File;
    e.size = size;
    return m_cat.StoreEntry(e, pid, host);
}

void tst_DuplicatesModel::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_cat.open(m_dir.filePath("DB"));
    const qint32 pub = store("a", 0, "pub", 0, true);
    const qint32 mirror = store("b", 0, "mirror", 0, true);
    store("a", pub, "disc.iso", 5000);
    store("b", mirror, "disc.iso", 5000);
    store("b", 0, "disc.iso", 5000);
    store("a", pub, "x.txt", 10);
    store("b", mirror, "y.txt", 10);
    m_cat.flush();
}

void tst_DuplicatesModel::groupsAndCopies()
{
    DuplicatesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.load(m_cat.database(), DuplicateSearch::Options(), {});
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex group = model.index(0, 0);
    QCOMPARE(group.data().toString(), QString("disc.iso"));
    QCOMPARE(model.index(0, DuplicatesModel::Path).data().toString(), QString("3 copies"));
    QCOMPARE(model.index(0, DuplicatesModel::Size).data().toString(), QString("5000 bytes"));
    QCOMPARE(model.rowCount(group), 3);
    QVERIFY(!model.copyAt(group));
    QStringList paths;
    for (int r = 0; r < 3; ++r) {
        paths << model.index(r, DuplicatesModel::Path, group).data().toString();
        QCOMPARE(model.copyAt(model.index(r, 0, group))->row.size.toLongLong(), 5000);
        QCOMPARE(model.parent(model.index(r, 1, group)), group);
    }
    paths.sort();
    QCOMPARE(paths, QStringList({"a/pub/disc.iso", "b/disc.iso", "b/mirror/disc.iso"}));
}

void tst_DuplicatesModel::bySizeAloneAndByHost()
{
    DuplicatesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    DuplicateSearch::Options options;
    options.key = DuplicateSearch::Key::Size;
    model.load(m_cat.database(), options, {});
    QCOMPARE(model.rowCount(), 2); // largest first
    QCOMPARE(model.rowCount(model.index(1, 0)), 2);
    QCOMPARE(model.index(1, DuplicatesModel::Size).data().toString(), QString("10 bytes"));
    options.host = "b";
    options.key = DuplicateSearch::Key::NameAndSize;
    model.load(m_cat.database(), options, {});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowCount(model.index(0, 0)), 2);
}

QTEST_MAIN(tst_DuplicatesModel)
#include "tst_duplicatesmodel.moc"
