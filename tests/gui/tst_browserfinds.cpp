#include "core/base/AppPaths.h"
#include "app/BrowserFinds.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "browse/DuplicatesModel.h"
#include "browse/TDupesForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// The main window's finds beyond the dialog: the grid's find written to a
// file, and the Find Duplicates window.
class tst_BrowserFinds : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void exportsTheFindShown_data();
    void exportsTheFindShown();
    void exportNeedsAFindAndAWritableFile();
    void duplicatesGroupedAndListed();

private:
    qint32 store(const QString &name, bool folder, qint32 pid, const QString &host, quint64 size = 0);
    void find(const QString &pattern);
    QTemporaryDir m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    QStringList m_messages;
    QString m_chosenFile;
};

qint32 tst_BrowserFinds::store(const QString &name, bool folder, qint32 pid, const QString &host, quint64 size)
{
    FileEntry e;
    e.name = name;
    e.kind = folder ? FileEntry::Kind::Directory : FileEntry::Kind::File;
    e.size = size;
    return m_app->catalogue().StoreEntry(e, pid, host);
}

void tst_BrowserFinds::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    AppPaths::setProgramDir(m_dir.path());
    QFile ini(AppPaths::settingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[HOSTS]\nHost Count=1\n1=a.example\n");
    ini.close();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    UiSeam::setSaveFileHandler([this](const QString &, const QString &) { return m_chosenFile; });
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    const qint32 pub = store("pub", true, 0, "a.example");
    store("disc #1.iso", false, pub, "a.example", 5000);
    const qint32 mirror = store("mirror", true, 0, "b.example");
    store("disc #1.iso", false, mirror, "b.example", 5000);
    store("notes.txt", false, mirror, "b.example", 7);
    m_app->catalogue().flush();
}

void tst_BrowserFinds::cleanupTestCase()
{
    m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
    UiSeam::setSaveFileHandler(nullptr);
}

void tst_BrowserFinds::init()
{
    m_messages.clear();
    m_chosenFile = m_dir.filePath("out");
    QFile::remove(m_chosenFile);
}

void tst_BrowserFinds::find(const QString &pattern)
{
    TSeekForm *seek = m_app->SeekForm;
    seek->show();
    seek->edName->setText(pattern);
    seek->btnOk->click();
    QCOMPARE(m_app->TabForm->DS(), seek->Query);
}

void tst_BrowserFinds::exportsTheFindShown_data()
{
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("csv") << true
                         << QByteArray("Name,ext,Size,Host,Attr,LAC,ID,PID,Path,Date\r\n");
    QTest::newRow("urls") << false << QByteArray("ftp://a.example/pub/disc%20%231.iso\nftp://b.example/mirror/disc%20%231.iso\n");
}

void tst_BrowserFinds::exportsTheFindShown()
{
    QFETCH(bool, csv);
    QFETCH(QByteArray, expected);
    find("disc%");
    (csv ? m_app->MainForm->ExportCsv1 : m_app->MainForm->ExportUrls1)->trigger();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    QFile out(m_chosenFile);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray text = out.readAll();
    if (!csv) {
        QList<QByteArray> lines = text.split('\n');
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines.join('\n').mid(1) + '\n', expected);
        return;
    }
    QVERIFY(text.startsWith(expected));
    QCOMPARE(text.count('\n'), 3);
    QVERIFY(text.contains(",a.example/pub/disc #1.iso,"));
}

void tst_BrowserFinds::exportNeedsAFindAndAWritableFile()
{
    m_app->TabForm->btnAllClick();
    m_app->MainForm->ExportCsv1->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].contains("choose Find first"));
    QVERIFY(!QFile::exists(m_chosenFile));
    find("%");
    m_chosenFile.clear(); // the dialog cancelled: nothing said, nothing written
    m_app->MainForm->ExportUrls1->trigger();
    QCOMPARE(m_messages.size(), 1);
    m_chosenFile = m_dir.filePath("no/such/folder/out.csv");
    m_app->MainForm->ExportCsv1->trigger();
    QCOMPARE(m_messages.size(), 2);
    QVERIFY2(m_messages[1].startsWith("Cannot write " + m_chosenFile), qPrintable(m_messages[1]));
}

void tst_BrowserFinds::duplicatesGroupedAndListed()
{
    m_app->MainForm->FindDuplicates1->trigger();
    TDupesForm *dupes = m_app->MainForm->finds()->dupesForm();
    QVERIFY(dupes && dupes->isVisible());
    dupes->btnFind->click();
    QCOMPARE(dupes->model()->groupCount(), 1);
    QCOMPARE(dupes->laSummary->text(), QString("1 groups of copies"));
    const QModelIndex group = dupes->model()->index(0, 0);
    QCOMPARE(dupes->model()->rowCount(group), 2);
    const QModelIndex copy = dupes->model()->index(0, 0, group);
    emit dupes->tree->doubleClicked(copy);
    const qint32 folder = dupes->model()->copyAt(copy)->row.pid;
    QCOMPARE(m_app->TabForm->DS(), m_app->TabForm->q);
    QCOMPARE(m_app->TabForm->q->params(), QVariantList{folder});
    dupes->edMinSize->setText("lots");
    dupes->btnFind->click();
    QCOMPARE(m_messages.size(), 1);
    dupes->edMinSize->setText("6K");
    dupes->btnFind->click();
    QCOMPARE(dupes->model()->groupCount(), 0);
    dupes->close();
}

QTEST_MAIN(tst_BrowserFinds)
#include "tst_browserfinds.moc"
