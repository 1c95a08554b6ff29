#include "core/base/AppPaths.h"
#include "core/base/IniFile.h"
#include "app/HarvexApplication.h"
#include "app/TMainForm.h"
#include "widgets/UiSeam.h"
#include "browse/TTabForm.h"
#include "ftp/TSelHost.h"

#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

class tst_HarvexApplication : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstStartThenSecondStart();
    void menuCaptionsAndSeparators();
    void formActivateBringsDataBaseBack();
    void settingsFileText();
    void savePositionOff();
    void unwritableLogStillSavesSettings();

private:
    void writeIni(const QByteArray &text);
    QStringList messages;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_HarvexApplication::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setProgramDir(m_dir->path());
    messages.clear();
    UiSeam::setMessageHandler([this](const QString &t) { messages << t; });
}

void tst_HarvexApplication::cleanup()
{
    UiSeam::setMessageHandler(nullptr);
}

void tst_HarvexApplication::writeIni(const QByteArray &text)
{
    QFile f(AppPaths::settingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void tst_HarvexApplication::firstStartThenSecondStart()
{
    bool dialogShown = false;
    {
        HarvexApplication app;
        // No host known yet: the host dialog opens at start-up; the user closes it.
        QTimer::singleShot(0, [&] {
            dialogShown = app.SelHost->isVisible();
            app.SelHost->hide();
        });
        QVERIFY(app.startUp());
        QVERIFY(dialogShown);
        QVERIFY(!app.TabForm->TV->isEnabled());
        app.MainForm->close();
        app.shutDown();
    }
    QVERIFY(QFile::exists(AppPaths::settingsFile()));
    QVERIFY(QFile::exists(AppPaths::logFile()));
    QVERIFY(QFile::exists(AppPaths::catalogueDir()));
    QFile log(AppPaths::logFile());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), 5); // four lines, each ended by CR LF
    QCOMPARE(lines[0], QByteArray("  - . - . - . - . - . -\r"));
    QVERIFY(lines[1].startsWith(" Application Started     "));
    QCOMPARE(lines[2], QByteArray(" Application Terminated. Run time: 0 sec\r"));
    QCOMPARE(lines[3], QByteArray("\r"));
    log.close();

    writeIni("[HOSTS]\nHost Count=1\n1=ftp.example.org\n");
    {
        HarvexApplication app;
        QVERIFY(app.startUp());
        const QStringList l = app.MainForm->log().lines();
        QCOMPARE(l.size(), 6);
        QCOMPARE(l[3], QString());
        QCOMPARE(l[4], QString("  - . - . - . - . - . -"));
        QVERIFY(l[5].startsWith(" Application Started "));
        QVERIFY(app.TabForm->TV->isEnabled());
        app.shutDown();
    }
    QVERIFY(messages.isEmpty());
}

void tst_HarvexApplication::menuCaptionsAndSeparators()
{
    writeIni("[HOSTS]\nHost Count=1\n1=h\n");
    HarvexApplication app;
    QVERIFY(app.startUp());
    QStringList menus;
    for (QAction *top : app.MainForm->menuBar()->actions()) {
        QStringList items;
        for (QAction *a : top->menu()->actions())
            items << (a->isSeparator() ? QString("-") : a->text().remove('&') + (a->isCheckable() ? (a->isChecked() ? "[x]" : "[ ]") : ""));
        menus << top->text().remove('&') + ": " + items.join(", ");
    }
    QCOMPARE(menus, (QStringList{"File: Select Host, Scan Host, Rescan Due Hosts, -, Connect to FTP, Disconnect, -, Exit",
                                 "Data Base: All Records, Find, Query, -, Find Duplicates, Export Results as CSV..., "
                                 "Export Results as URL List..., -, Statistics, Changes",
                                 "Config: Options, -, Save Position[x], Show Host[x]", "Help: Help, -, About"}));
    QCOMPARE(app.MainForm->windowTitle(), QString("Harvex - h")); // the browsed host
    QCOMPARE(app.MainForm->PageControl1->tabPosition(), QTabWidget::South);
    QCOMPARE(app.MainForm->PageControl1->tabText(0), QString("Data Base"));
    QCOMPARE(app.MainForm->PageControl1->tabText(1), QString("Downloads"));
    QCOMPARE(app.MainForm->PageControl1->tabText(2), QString("Log"));
    QCOMPARE(app.MainForm->StatusBar1[0]->text(), QString("Size"));
    QCOMPARE(app.MainForm->StatusBar1[2]->text(), QString("Path"));
    QVERIFY(app.MainForm->Memo1->isReadOnly());
    app.shutDown();
}

void tst_HarvexApplication::formActivateBringsDataBaseBack()
{
    writeIni("[HOSTS]\nHost Count=1\n1=h\n");
    HarvexApplication app;
    QVERIFY(app.startUp());
    app.MainForm->PageControl1->setCurrentWidget(app.MainForm->TabLog);
    app.MainForm->FormActivate();
    QCOMPARE(app.MainForm->PageControl1->currentWidget(), app.MainForm->TabDB);
    QCOMPARE(app.TabForm->parentWidget(), app.MainForm->TabDB);
    app.MainForm->ShowHost1->trigger();
    QVERIFY(app.TabForm->laHost->isHidden());
    app.MainForm->ShowHost1->trigger();
    QVERIFY(!app.TabForm->laHost->isHidden());
    app.shutDown();
}

void tst_HarvexApplication::settingsFileText()
{
    writeIni("[HOSTS]\nHost Count=1\n1=ftp.example.org\n");
    {
        HarvexApplication app;
        QVERIFY(app.startUp());
        app.MainForm->setGeometry(190, 104, 488, 344);
        app.MainForm->ShowHost1->setChecked(false);
        app.TabForm->setLeftPanelWidth(200);
        app.shutDown();
    }
    IniFile ini(AppPaths::settingsFile());
    QCOMPARE(ini.readString("FORM", "Save Window Position", ""), QString("1"));
    QCOMPARE(ini.readString("FORM", "Show Host", ""), QString("0"));
    QCOMPARE(ini.readInt("FORM", "Left", 0), 190);
    QCOMPARE(ini.readInt("FORM", "Width", 0), 488);
    QCOMPARE(ini.readInt("FORM", "Left Panel", 0), 200);
    QCOMPARE(ini.readString("HOSTS", "1", ""), QString("ftp.example.org"));
    HarvexApplication again;
    QVERIFY(again.startUp());
    QCOMPARE(again.TabForm->leftPanelWidth(), 200);
    QVERIFY(!again.MainForm->ShowHost1->isChecked());
    again.shutDown();
}

void tst_HarvexApplication::savePositionOff()
{
    writeIni("[FORM]\nSave Window Position=0\nTop=7\nLeft=8\nWidth=900\nHeight=700\n[HOSTS]\nHost Count=1\n1=h\n");
    HarvexApplication app;
    QVERIFY(app.startUp());
    QVERIFY(app.MainForm->width() != 900);
    app.MainForm->setGeometry(300, 300, 500, 400);
    app.shutDown();
    IniFile ini(AppPaths::settingsFile());
    QCOMPARE(ini.readInt("FORM", "Top", 0), 7);
    QCOMPARE(ini.readInt("FORM", "Width", 0), 900);
}

void tst_HarvexApplication::unwritableLogStillSavesSettings()
{
    writeIni("[HOSTS]\nHost Count=1\n1=h\n");
    HarvexApplication app;
    QVERIFY(app.startUp());
    QFile::remove(AppPaths::logFile());
    QDir().mkdir(AppPaths::logFile()); // a folder in the log file's place cannot be written
    app.MainForm->ShowHost1->setChecked(false);
    app.shutDown();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].contains("log file"));
    IniFile ini(AppPaths::settingsFile());
    QCOMPARE(ini.readString("FORM", "Show Host", ""), QString("0"));
}

QTEST_MAIN(tst_HarvexApplication)
#include "tst_harvexapplication.moc"
