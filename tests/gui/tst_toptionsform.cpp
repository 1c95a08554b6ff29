#include "core/base/AppPaths.h"
#include "core/base/FileEntry.h"
#include "core/base/IniFile.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/ExactNames.h"
#include "core/ftp/CertificateFingerprint.h"
#include "app/HarvexApplication.h"
#include "app/HostOptionsPage.h"
#include "app/ScanOptionsPage.h"
#include "app/TMainForm.h"
#include "app/TOptionsForm.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray Report1251 = "\xce\xf2\xf7\xe5\xf2"; // "Отчет"
const QString Report = QString::fromUtf8("Отчет");
const QString Pin = CertificateFingerprint::text(QByteArray(32, '\x2a'));
} // namespace

// Config > Options as the user meets it: the settings file's scan keys,
// program-wide and per host, saved by merging, the code page tried on the
// host's stored names first.
class tst_TOptionsForm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showsWhatTheFileHolds();
    void previewDecodesTheStoredNames_data();
    void previewDecodesTheStoredNames();
    void okWritesByMerging();
    void codePageAppliedDecodesTheCatalogue();
    void untouchedKeysStayAbsent();
    void cancelWritesNothing();
    void editsOfSeveralHostsKept();

private:
    QString file() const;
    void start(const QByteArray &ini);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HarvexApplication> m_app;
    QStringList m_messages;
    qint32 m_reportId = 0;
};

QString tst_TOptionsForm::file() const
{
    QFile f(AppPaths::settingsFile());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void tst_TOptionsForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setProgramDir(m_dir->path());
    m_messages.clear();
    UiSeam::setMessageHandler([this](const QString &t) { m_messages << t; });
    // A catalogue that stored the host's cp1251 names as latin1 read them.
    Catalogue cat;
    cat.open(AppPaths::catalogueDir());
    FileEntry e;
    e.wireName = Report1251 + ".txt";
    e.name = QString::fromLatin1(e.wireName);
    e.kind = FileEntry::kindOf(128);
    m_reportId = cat.StoreEntry(e, 0, "ftp.example.ru:2121");
    ExactNames::recodeIfChanged(cat, "ftp.example.ru:2121", "latin1");
    cat.close();
}

void tst_TOptionsForm::cleanup()
{
    if (m_app)
        m_app->shutDown();
    m_app.reset();
    UiSeam::setMessageHandler(nullptr);
}

void tst_TOptionsForm::start(const QByteArray &ini)
{
    QFile f(AppPaths::settingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[HOSTS]\nHost Count=1\n1=ftp.example.ru:2121\n" + ini);
    f.close();
    m_app = std::make_unique<HarvexApplication>();
    QVERIFY(m_app->startUp());
    m_app->MainForm->Options1->trigger();
    QVERIFY(m_app->Options->isVisible());
}

void tst_TOptionsForm::showsWhatTheFileHolds()
{
    start(("[FTP]\nPassive=1\nConnections=3\nListing Deadline=90\n[SCAN]\nMax Depth=12\nMax Entries=5000000000\n"
           "[TLS]\nftp.example.ru=require\n[TRUST]\nftp.example.ru=" + Pin + "\n").toUtf8());
    const ScanOptionsPage *scan = m_app->Options->ScanPage;
    QVERIFY(scan->cbPassive->isChecked());
    QCOMPARE(scan->seConnections->value(), 3);
    QCOMPARE(scan->seDeadline->value(), 90);
    QCOMPARE(scan->seMaxDepth->value(), 12);
    QCOMPARE(scan->edMaxEntries->text(), QString("5000000000"));
    const HostOptionsPage *host = m_app->Options->HostPage;
    QCOMPARE(host->cbHost->currentText(), QString("ftp.example.ru")); // the settings name hosts without port
    QCOMPARE(FtpLogon::Tls(host->cbTls->currentData().toInt()), FtpLogon::Tls::Require);
    QCOMPARE(host->laPin->text().remove(u'\n'), Pin);
    QVERIFY(host->btnForget->isEnabled());
    QCOMPARE(host->cbCodePage->currentText(), QString("latin1"));
}

void tst_TOptionsForm::previewDecodesTheStoredNames_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("caption");
    QTest::newRow("cp1251") << "cp1251" << Report + ".txt" << "as cp1251 reads them";
    QTest::newRow("latin1") << "latin1" << QString::fromLatin1(Report1251 + ".txt") << "as latin1 reads them";
    QTest::newRow("unknown") << "no-such-page" << QString() << "Unknown code page";
}

void tst_TOptionsForm::previewDecodesTheStoredNames()
{
    QFETCH(QString, codePage);
    QFETCH(QString, shown);
    QFETCH(QString, caption);
    start(QByteArray());
    HostOptionsPage *host = m_app->Options->HostPage;
    host->cbCodePage->setEditText(codePage);
    QCOMPARE(host->lbPreview->count(), shown.isEmpty() ? 0 : 1);
    if (!shown.isEmpty())
        QCOMPARE(host->lbPreview->item(0)->text(), shown);
    QVERIFY2(host->laPreview->text().contains(caption), qPrintable(host->laPreview->text()));
    // A host with no stored names says so.
    host->cbHost->setEditText("elsewhere.example.org");
    QCOMPARE(host->lbPreview->count(), 0);
    QVERIFY2(host->laPreview->text().contains("No stored name"), qPrintable(host->laPreview->text()));
}

// harvex-cli saves into the file while the dialog is open: its keys stay.
void tst_TOptionsForm::okWritesByMerging()
{
    start(("[OTHER]\nKept=yes\n[TRUST]\nftp.example.ru=" + Pin + "\n").toUtf8());
    TOptionsForm *o = m_app->Options;
    {
        IniFile cli(AppPaths::settingsFile());
        cli.writeString("TRUST", "cli.example.org", Pin);
        cli.writeString("ENCODING", "cli.example.org", "koi8-r");
        QVERIFY(cli.save());
    }
    o->ScanPage->cbPassive->setChecked(true);
    o->ScanPage->seConnections->setValue(2);
    o->ScanPage->seMaxDepth->setValue(7);
    o->ScanPage->edMaxEntries->setText("123");
    o->ScanPage->seDeadline->setValue(45);
    o->HostPage->cbTls->setCurrentIndex(o->HostPage->cbTls->findData(int(FtpLogon::Tls::Off)));
    o->HostPage->btnForget->click();
    QCOMPARE(o->HostPage->laPin->text(), QString("None"));
    o->btnOk->click();
    QVERIFY(o->isHidden());
    QVERIFY(m_messages.isEmpty());
    const IniFile after(AppPaths::settingsFile());
    QCOMPARE(after.readString("FTP", "Passive", ""), QString("1"));
    QCOMPARE(after.readInt("FTP", "Connections", 0), 2);
    QCOMPARE(after.readInt("FTP", "Listing Deadline", 0), 45);
    QCOMPARE(after.readInt("SCAN", "Max Depth", 0), 7);
    QCOMPARE(after.readString("SCAN", "Max Entries", ""), QString("123"));
    QCOMPARE(after.readString("TLS", "ftp.example.ru", ""), QString("off"));
    QVERIFY(!after.hasKey("TRUST", "ftp.example.ru"));
    QCOMPARE(after.readString("TRUST", "cli.example.org", ""), Pin);
    QCOMPARE(after.readString("ENCODING", "cli.example.org", ""), QString("koi8-r"));
    QCOMPARE(after.readString("OTHER", "Kept", ""), QString("yes"));
    QCOMPARE(after.readString("HOSTS", "1", ""), QString("ftp.example.ru:2121"));
}

void tst_TOptionsForm::codePageAppliedDecodesTheCatalogue()
{
    start(QByteArray());
    QCOMPARE(m_app->catalogue().recordById(m_reportId)->name, QString::fromLatin1(Report1251));
    m_app->Options->HostPage->cbCodePage->setEditText("cp1251");
    m_app->Options->btnOk->click();
    QCOMPARE(IniFile(AppPaths::settingsFile()).readString("ENCODING", "ftp.example.ru", ""), QString("cp1251"));
    QCOMPARE(m_app->catalogue().recordById(m_reportId)->name, Report);
}

// A value left as the program's default is not written: it keeps following it.
void tst_TOptionsForm::untouchedKeysStayAbsent()
{
    start(QByteArray());
    m_app->Options->submit();
    QVERIFY(m_app->Options->isHidden());
    const QString text = file();
    for (const char *section : {"[FTP]", "[SCAN]", "[TLS]", "[ENCODING]"})
        QVERIFY2(!text.contains(section), qPrintable(text));
}

void tst_TOptionsForm::cancelWritesNothing()
{
    start(("[TRUST]\nftp.example.ru=" + Pin + "\n").toUtf8());
    const QString before = file();
    TOptionsForm *o = m_app->Options;
    o->ScanPage->cbPassive->setChecked(true);
    o->HostPage->btnForget->click();
    QTest::keyClick(o->ScanPage->cbPassive, Qt::Key_Escape);
    QVERIFY(o->isHidden());
    QCOMPARE(file(), before);
    // Shown again, the dialog reads the file afresh.
    o->show();
    QVERIFY(!o->ScanPage->cbPassive->isChecked());
    QCOMPARE(o->HostPage->laPin->text().remove(u'\n'), Pin);
    o->hide();
}

// Moving to another host keeps what was set for the first.
void tst_TOptionsForm::editsOfSeveralHostsKept()
{
    start("[ENCODING]\nsecond.example.org=cp866\n");
    HostOptionsPage *host = m_app->Options->HostPage;
    QCOMPARE(host->cbHost->count(), 2);
    host->cbCodePage->setEditText("cp1251");
    host->cbHost->setCurrentIndex(1);
    QCOMPARE(host->cbHost->currentText(), QString("second.example.org"));
    QCOMPARE(host->cbCodePage->currentText(), QString("cp866"));
    host->cbTls->setCurrentIndex(host->cbTls->findData(int(FtpLogon::Tls::Require)));
    host->cbHost->setCurrentIndex(0);
    QCOMPARE(host->cbCodePage->currentText(), QString("cp1251"));
    m_app->Options->btnOk->click();
    const IniFile after(AppPaths::settingsFile());
    QCOMPARE(after.readString("ENCODING", "ftp.example.ru", ""), QString("cp1251"));
    QCOMPARE(after.readString("ENCODING", "second.example.org", ""), QString("cp866"));
    QCOMPARE(after.readString("TLS", "second.example.org", ""), QString("require"));
    QVERIFY(!after.hasKey("TLS", "ftp.example.ru"));
}

QTEST_MAIN(tst_TOptionsForm)
#include "tst_toptionsform.moc"
