#include "HarvexApplication.h"
#include "core/base/AppPaths.h"
#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/CatalogueError.h"
#include "core/base/IniFile.h"
#include "TMainForm.h"
#include "TOptionsForm.h"
#include "widgets/UiSeam.h"
#include "browse/CatalogueOpener.h"
#include "browse/TQueryForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "ftp/TScanForm.h"
#include "ftp/TSelHost.h"
#include "widgets/TAbout.h"

#include <QApplication>
#include <QFile>

HarvexApplication::HarvexApplication() = default;

HarvexApplication::~HarvexApplication()
{
    // The dialogs are top-level windows of their own: they go before the main window.
    delete SeekForm;
    delete QueryForm;
    delete About;
    delete SelHost;
    delete Options;
}

void HarvexApplication::createWindows()
{
    m_main = std::make_unique<TMainForm>();
    MainForm = m_main.get();
    SelHost = new TSelHost(MainForm);
    About = new TAbout(MainForm);
    SeekForm = new TSeekForm(m_catalogue, MainForm);
    QueryForm = new TQueryForm(m_catalogue, MainForm);
    Options = new TOptionsForm(m_catalogue, MainForm);
    ScanForm = new TScanForm(MainForm->log(), MainForm->TimeScan, MainForm->TabDB);
    ScanForm->hide();
    MainForm->attachForms(SelHost, About, SeekForm, QueryForm, ScanForm);
}

bool HarvexApplication::startUp()
{
    createWindows();
    m_settings = std::make_unique<IniFile>(AppPaths::settingsFile());
    MainForm->LoadSettings(m_settings.get());
    SelHost->LoadHostHistory(m_settings.get());
    TabForm = new TTabForm(*SelHost, m_catalogue, MainForm->TabDB);
    try {
        CatalogueOpener().open(m_catalogue, CatalogueAddress::chosen(*m_settings, AppPaths::catalogueDir()));
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return false;
    }
    TabForm->FormCreate();
    SeekForm->setBrowser(TabForm);
    SeekForm->setSettings(m_settings.get());
    QueryForm->setBrowser(TabForm);
    MainForm->attachBrowser(TabForm, m_catalogue, m_settings.get());
    Options->setSettings(m_settings.get(), [this] { return SelHost->history(); });
    MainForm->attachOptions(Options);
    TabForm->LoadLayout(m_settings.get());
    MainForm->show();
    MainForm->FormActivate();
    TabForm->BuildFolderTree();
    loadLog();
    MainForm->LogLine(QStringLiteral("  - . - . - . - . - . -"), false);
    MainForm->LogLine(QStringLiteral(" Application Started "), true);
    MainForm->TimeRun.start();
    return true;
}

void HarvexApplication::loadLog()
{
    const QString path = AppPaths::logFile();
    if (!QFile::exists(path))
        MainForm->log().saveToFile(path);
    if (!MainForm->log().loadFromFile(path))
        UiSeam::message(QStringLiteral("Cannot read the log file %1").arg(path));
    // Lines reach the file as they are logged: a crash keeps them.
    if (!MainForm->log().appendTo(path))
        UiSeam::message(QStringLiteral("Cannot write the log file %1").arg(path));
}

// Whatever can still be saved is saved: a log file that cannot be written is
// reported, and the settings are written all the same.
void HarvexApplication::shutDown()
{
    MainForm->LogLine(QStringLiteral(" Application Terminated. Run time: ")
                          + ElapsedCounter::ElapsedText(MainForm->TimeRun.tag()),
                      false);
    MainForm->LogLine(QString(), false);
    MainForm->log().stopAppending();
    if (!MainForm->log().saveToFile(AppPaths::logFile()))
        UiSeam::message(QStringLiteral("Cannot write the log file %1").arg(AppPaths::logFile()));
    MainForm->SaveSettings(m_settings.get());
    SelHost->SaveHostHistory(m_settings.get());
    if (TabForm)
        TabForm->SaveLayout(m_settings.get());
    if (!m_settings->save())
        UiSeam::message(QStringLiteral("Cannot write the settings file %1").arg(m_settings->path()));
}
