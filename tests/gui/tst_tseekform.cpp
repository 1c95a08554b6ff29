#include "core/base/AppPaths.h"
#include "core/base/IniFile.h"
#include "core/catalogue/SavedSearches.h"
#include "app/HarvexApplication.h"
#include "browse/SearchTermsPanel.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// The find dialog: as it always was while "More" is closed; under it the
// core search's further terms and the searches kept.
class tst_TSeekForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void closedAsItWas();
    void moreTermsNarrow_data();
    void moreTermsNarrow();
    void closedMoreAsksNothingMore();
    void wrongTermKeepsTheDialog();
    void resultsShowWholePaths();
    void recentAndSavedSearches();

private:
    qint32 store(const QString &name, FileEntry::Kind kind, qint32 pid, const QString &host, quint64 size = 0,
                 quint64 time = 0);
    QStringList foundNames();
    void clearMore();
    QTemporaryDir m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    TSeekForm *seek = nullptr;
    QStringList m_messages;
};

qint32 tst_TSeekForm::store(const QString &name, FileEntry::Kind kind, qint32 pid, const QString &host, quint64 size,
                            quint64 time)
{
    FileEntry e;
    e.name = name;
    e.kind = kind;
    e.size = size;
    e.time = time;
    return m_app->catalogue().StoreEntry(e, pid, host);
}

void tst_TSeekForm::initTestCase()
{
    AppPaths::setProgramDir(m_dir.path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=a.example\n");
    ini.close();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    seek = m_app->SeekForm;
    const auto dir = FileEntry::Kind::Directory, file = FileEntry::Kind::File;
    const quint64 y2020 = 132223104000000000ull; // 2020-01-01 in 100 ns since 1601
    const qint32 pub = store("pub", dir, 0, "a.example");
    const qint32 lin = store("linux", dir, pub, "a.example");
    store("debian.iso", file, lin, "a.example", 700ull << 20, y2020);
    store("debian.img", file, lin, "a.example", 2ull << 30, y2020 * 2);
    store("notes.txt", file, pub, "a.example", 100, y2020);
    const qint32 mirror = store("mirror", dir, 0, "b.example");
    store("debian.iso", file, mirror, "b.example", 700ull << 20, y2020 * 2);
    store("Ubuntu.iso", file, mirror, "b.example", 3ull << 30);
    m_app->catalogue().flush();
}

void tst_TSeekForm::cleanupTestCase()
{
    m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
}

void tst_TSeekForm::init()
{
    m_messages.clear();
    seek->showMore(false);
    clearMore();
    seek->edName->setText("%");
}

void tst_TSeekForm::clearMore()
{
    seek->More->show(SearchRequest());
}

QStringList tst_TSeekForm::foundNames()
{
    DataSet *ds = m_app->TabForm->DS();
    QStringList names;
    for (int r = 0; r < ds->rowCount(); ++r)
        names << ds->record(r).value("Name").toString() + u'.' + ds->record(r).value("ext").toString() + u'@'
                     + ds->record(r).value("Host").toString();
    names.sort();
    return names;
}

// Closed, nothing but the toggle was added: the size and every pixel are
// the same before "More" was opened and after it was closed again.
void tst_TSeekForm::closedAsItWas()
{
    seek->show();
    QVERIFY(QTest::qWaitForWindowExposed(seek));
    QCOMPARE(seek->size(), QSize(313, 134));
    QVERIFY(seek->More->isHidden());
    QCOMPARE(seek->edName->text(), QString("%"));
    QCOMPARE(seek->cbType->currentText(), QString("ALL"));
    QVERIFY(seek->btnMore->geometry().bottom() < 134);
    QVERIFY(seek->btnOk->mapTo(seek, QPoint()).y() > seek->cbType->geometry().bottom());
    const QImage before = seek->grab().toImage();
    seek->btnMore->click();
    QVERIFY(!seek->More->isHidden());
    QVERIFY(seek->height() > 134 + seek->More->edUnder->height() * 5);
    QVERIFY(seek->More->geometry().top() > seek->btnOk->mapTo(seek, QPoint()).y());
    seek->btnMore->click();
    QCOMPARE(seek->size(), QSize(313, 134));
    QCoreApplication::processEvents();
    QCOMPARE(seek->grab().toImage(), before);
    seek->hide();
}

void tst_TSeekForm::moreTermsNarrow_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("types") << "%" << "types" << "iso,img"
                           << QStringList{"Ubuntu.iso@b.example", "debian.img@a.example", "debian.iso@a.example",
                                          "debian.iso@b.example"};
    QTest::newRow("regex") << "^deb.*n$" << "regex" << "1"
                           << QStringList{"debian.img@a.example", "debian.iso@a.example", "debian.iso@b.example"};
    QTest::newRow("min size") << "%" << "min" << "1G" << QStringList{"Ubuntu.iso@b.example", "debian.img@a.example"};
    QTest::newRow("max size") << "deb%" << "max" << "700M" << QStringList{"debian.iso@a.example", "debian.iso@b.example"};
    QTest::newRow("host") << "%" << "host" << "b.%"
                          << QStringList{"Ubuntu.iso@b.example", "debian.iso@b.example", "mirror.<DIR>@b.example"};
    QTest::newRow("under") << "%" << "under" << "a.example/pub/linux"
                           << QStringList{"debian.img@a.example", "debian.iso@a.example"};
    QTest::newRow("folders") << "%" << "kind" << "2"
                             << QStringList{"linux.<DIR>@a.example", "mirror.<DIR>@b.example", "pub.<DIR>@a.example"};
    QTest::newRow("older") << "debian" << "older" << "2021-01-01" << QStringList{"debian.iso@a.example"};
}

void tst_TSeekForm::moreTermsNarrow()
{
    QFETCH(QString, pattern);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QStringList, found);
    seek->show();
    seek->showMore(true);
    seek->edName->setText(pattern);
    SearchTermsPanel *m = seek->More;
    const QMap<QString, QLineEdit *> edits{{"types", m->edTypes}, {"min", m->edMinSize}, {"max", m->edMaxSize},
                                           {"host", m->edHost},   {"under", m->edUnder}, {"older", m->edOlder}};
    if (field == "regex")
        m->cbRegex->setChecked(true);
    else if (field == "kind")
        m->cbKind->setCurrentIndex(value.toInt());
    else
        edits.value(field)->setText(value);
    seek->btnOk->click();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    QVERIFY(seek->isHidden());
    QCOMPARE(m_app->TabForm->DS(), seek->Query);
    QCOMPARE(foundNames(), found);
}

// What the closed panel holds is not asked for.
void tst_TSeekForm::closedMoreAsksNothingMore()
{
    seek->More->edHost->setText("nowhere");
    seek->edName->setText("debian");
    seek->show();
    seek->btnOk->click();
    QCOMPARE(m_app->TabForm->DS()->recordCount(), 3);
}

void tst_TSeekForm::wrongTermKeepsTheDialog()
{
    seek->show();
    seek->showMore(true);
    seek->More->edMinSize->setText("big");
    seek->btnOk->click();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].contains("\"big\" is no size"));
    QVERIFY(seek->isVisible());
    seek->hide();
}

void tst_TSeekForm::resultsShowWholePaths()
{
    seek->edName->setText("debian");
    seek->show();
    seek->btnOk->click();
    FoundRows *rows = seek->Query;
    QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(rows->headerData(rows->pathColumn(), Qt::Horizontal).toString(), QString("Path"));
    QStringList paths;
    for (int r = 0; r < rows->rowCount(); ++r)
        paths << rows->index(r, rows->pathColumn()).data().toString();
    paths.sort();
    QCOMPARE(paths, QStringList({"a.example/pub/linux/debian.img", "a.example/pub/linux/debian.iso",
                                 "b.example/mirror/debian.iso"}));
    QCOMPARE(m_app->TabForm->DBGrid1->model(), rows);
}

// Each find goes on top of the list; a search saved under a name is in the
// settings file at once, and choosing it fills the fields again.
void tst_TSeekForm::recentAndSavedSearches()
{
    seek->show();
    seek->showMore(true);
    seek->More->edTypes->setText("iso");
    seek->More->edMinSize->setText("1G");
    seek->More->edSaveName->setText("big isos");
    seek->More->btnSave->click();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    IniFile file(AppPaths::settingsFile());
    QCOMPARE(SavedSearches(file).saved("big isos")->minSize, QString("1G"));
    seek->btnOk->click();
    QCOMPARE(foundNames(), QStringList{"Ubuntu.iso@b.example"});
    QComboBox *list = seek->More->cbSearches;
    QVERIFY(list->count() >= 2);
    QVERIFY(list->itemText(0).startsWith("big isos: %  type iso"));
    QCOMPARE(list->itemText(1), QString("%  type iso  min-size 1G"));
    seek->show();
    seek->edName->setText("x");
    clearMore();
    list->activated(0);
    QCOMPARE(seek->edName->text(), QString("%"));
    QCOMPARE(seek->More->edTypes->text(), QString("iso"));
    QCOMPARE(seek->More->edMinSize->text(), QString("1G"));
    seek->More->edSaveName->setText("a=b");
    seek->More->btnSave->click();
    QCOMPARE(m_messages.size(), 1);
    seek->hide();
}

QTEST_MAIN(tst_TSeekForm)
#include "tst_tseekform.moc"
