#pragma once
#include <QString>
#include <memory>

class IniFile;
class TAbout;
class TMainForm;
class TQueryForm;
class TScanForm;
class TSeekForm;
class TSelHost;
class TTabForm;

// Start-up and shutdown: every window once, in order; the settings file, the
// catalogue and the log file opened and saved around the message loop.
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
    TScanForm *ScanForm = nullptr;
    TTabForm *TabForm = nullptr;
    IniFile *settings() const { return m_settings.get(); }

private:
    void createWindows();
    void loadLog();

    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<TMainForm> m_main;
};
