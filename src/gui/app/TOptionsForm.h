#pragma once
#include "core/scan/ScanOptionsDraft.h"
#include "widgets/DialogWindow.h"

#include <functional>
#include <memory>

class Catalogue;
class HostOptionsPage;
class IniFile;
class QTabWidget;
class ScanOptionsPage;
class TCoolBtn;

// "Options": the scan settings of the settings file, program-wide and per
// host. OK writes them with the file's merging save, so that what
// harvex-cli saved meanwhile is kept; Cancel forgets the edits.
class TOptionsForm : public DialogWindow
{
    Q_OBJECT
public:
    TOptionsForm(Catalogue &catalogue, QWidget *mainWindow);
    ~TOptionsForm() override;
    // The application's settings, once loaded; not owned. hosts: the
    // hosts to offer first (the host history's).
    void setSettings(IniFile *settings, std::function<QStringList()> hosts);

    QWidget *firstField() const override;

    QTabWidget *Pages;
    ScanOptionsPage *ScanPage;
    HostOptionsPage *HostPage;
    TCoolBtn *btnOk, *btnCancel;

signals:
    // Saved with a host's code page changed: its stored names are to be
    // decoded again.
    void codePagesChanged();

public slots:
    void btnOkClick();
    void submit() override { btnOkClick(); }

protected:
    void FormShow() override;

private:
    Catalogue &m_catalogue;
    IniFile *m_settings = nullptr;
    std::function<QStringList()> m_hosts;
    std::unique_ptr<ScanOptions> m_options;
    ScanOptionsDraft m_draft;
};
