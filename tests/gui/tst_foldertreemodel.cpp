#include "browse/FolderTreeModel.h"
#include "core/catalogue/Catalogue.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Host "H": a/{a1/{a11/{a111}, a2}, note.txt}, b (holds only a file), and
// "Other" with a folder of its own.
class tst_FolderTreeModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void passesTheTesterWhileReadLazily();
    void fetchReadsOneLevelAtATime();
    void folderIndexReadsTheWayDown();
    void failedReadIsReported();

private:
    qint32 store(const QString &name, quint32 attr, qint32 pid, const QString &host = "H");
    QStringList names(const QModelIndex &parent) const;
    QTemporaryDir m_dir;
    Catalogue m_cat;
    std::unique_ptr<FolderTreeModel> m_model;
    qint32 m_a = 0, m_a1 = 0, m_a11 = 0, m_a111 = 0, m_b = 0, m_other = 0;
};

qint32 tst_FolderTreeModel::store(const QString &name, quint32 attr, qint32 pid, const QString &host)
{
    FileEntry e;
    e.name = name;
    e.kind = FileEntry::kindOf(attr);
    return m_cat.StoreEntry(e, pid, host);
}

QStringList tst_FolderTreeModel::names(const QModelIndex &parent) const
{
    QStringList out;
    for (int i = 0; i < m_model->rowCount(parent); ++i)
        out << m_model->index(i, 0, parent).data().toString();
    return out;
}

void tst_FolderTreeModel::initTestCase()
{
    m_cat.open(m_dir.path());
    m_a = store("a", 16, 0);
    m_a1 = store("a1", 16, m_a);
    store("a2", 16, m_a);
    store("note.txt", 128, m_a);
    m_a11 = store("a11", 16, m_a1);
    m_a111 = store("a111", 16, m_a11);
    m_b = store("b", 16, 0);
    store("inside.txt", 128, m_b);
    m_other = store("elsewhere", 16, 0, "Other");
    m_cat.flush();
    m_model = std::make_unique<FolderTreeModel>(m_cat);
}

// The tester walks the whole tree, each level fetched as it goes, and
// watches the fetches that follow. Its walk on a reset fetches before its
// own reset check has run, which it then takes for rows inserted inside the
// reset: each reset gets a tester of its own.
void tst_FolderTreeModel::passesTheTesterWhileReadLazily()
{
    m_model->setHost("H");
    {
        QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QModelIndex a = m_model->index(0, 0);
        const QModelIndex a11 = m_model->index(0, 0, m_model->index(0, 0, a));
        QCOMPARE(names(a11), QStringList{"a111"});
    }
    m_model->setHost("H");
    {
        QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_model->fetchMore(m_model->index(0, 0));
    }
    m_model->setHost(QString());
    QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(!m_model->canFetchMore(QModelIndex()));
}

// Files and other hosts' folders never show; a fetch reads the folder's
// folders and their own, for the arrows, and nothing deeper.
void tst_FolderTreeModel::fetchReadsOneLevelAtATime()
{
    m_model->setHost("H");
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(m_model->canFetchMore(QModelIndex()));
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);
    m_model->fetchMore(QModelIndex());
    QCOMPARE(names(QModelIndex()), (QStringList{"a", "b"}));
    const QModelIndex a = m_model->index(0, 0);
    const QModelIndex b = m_model->index(1, 0);
    QCOMPARE(FolderTreeModel::folderId(a), m_a);
    QCOMPARE(names(a), (QStringList{"a1", "a2"}));
    QVERIFY(!m_model->hasChildren(b)); // only a file inside: no arrow
    QVERIFY(!m_model->canFetchMore(QModelIndex()));
    const QModelIndex a1 = m_model->index(0, 0, a);
    QCOMPARE(m_model->rowCount(a1), 0); // a level too deep: not read yet
    QVERIFY(m_model->hasChildren(a1));
    QCOMPARE(inserted.size(), 2); // the top level, then a's folders
    QVERIFY(m_model->canFetchMore(a));
    m_model->fetchMore(a);
    QCOMPARE(names(a1), QStringList{"a11"});
    QVERIFY(!m_model->hasChildren(m_model->index(1, 0, a)));
    QCOMPARE(m_model->rowCount(m_model->index(0, 0, a1)), 0);
    QVERIFY(!m_model->canFetchMore(a));
    QCOMPARE(inserted.size(), 3);
    m_model->fetchMore(a); // read once
    QCOMPARE(inserted.size(), 3);
}

void tst_FolderTreeModel::folderIndexReadsTheWayDown()
{
    m_model->setHost("H");
    QVERIFY(!m_model->folderIndex(m_a111).isValid()); // the top level is not read yet
    m_model->fetchMore(QModelIndex());
    const QModelIndex deep = m_model->folderIndex(m_a111);
    QCOMPARE(FolderTreeModel::folderId(deep), m_a111);
    QCOMPARE(FolderTreeModel::folderId(deep.parent()), m_a11);
    QCOMPARE(FolderTreeModel::folderId(deep.parent().parent().parent()), m_a);
    QVERIFY(!m_model->folderIndex(m_other).isValid());
    QVERIFY(!m_model->folderIndex(0).isValid());
    // Stored after its parent's level was read: not in the tree until read again.
    const qint32 late = store("late", 16, m_a);
    m_cat.flush();
    QVERIFY(!m_model->folderIndex(store("later", 16, late)).isValid());
    m_cat.flush();
    m_model->setHost("H");
    m_model->fetchMore(QModelIndex());
    QVERIFY(m_model->folderIndex(late).isValid());
}

void tst_FolderTreeModel::failedReadIsReported()
{
    m_model->setHost("H");
    QSignalSpy failed(m_model.get(), &FolderTreeModel::readFailed);
    QSqlDatabase db = m_cat.database();
    db.close();
    m_model->fetchMore(QModelIndex());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(db.open());
}

QTEST_MAIN(tst_FolderTreeModel)
#include "tst_foldertreemodel.moc"
