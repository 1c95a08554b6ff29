#pragma once
#include "core/catalogue/Catalogue.h"

#include <QString>
#include <memory>

class IniFile;
class TAbout;
class TMainForm;
class TOptionsForm;
class TQueryForm;
class TScanForm;
class TSeekForm;
class TSelHost;
class TTabForm;

// Start-up and shutdown: every window once, in order; the settings file, the
// catalogue and the log file opened and saved around the message loop. The
// catalogue the windows read is this object's: it outlives every window, so
// the grids' queries on its connection end before it closes.
class HarvexApplication
{
public:
    HarvexApplication();
    ~HarvexApplication();

    // False (with the reason shown) when the catalogue cannot be opened.
    bool startUp();
    void shutDown();

    TMainForm *MainForm = nullptr;
    TSelHost *SelHost = nullptr;
    TAbout *About = nullptr;
    TSeekForm *SeekForm = nullptr;
    TQueryForm *QueryForm = nullptr;
    TOptionsForm *Options = nullptr;
    TScanForm *ScanForm = nullptr;
    TTabForm *TabForm = nullptr;
    IniFile *settings() const { return m_settings.get(); }
    Catalogue &catalogue() { return m_catalogue; }

private:
    void createWindows();
    void loadLog();

    Catalogue m_catalogue;
    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<TMainForm> m_main;
};
