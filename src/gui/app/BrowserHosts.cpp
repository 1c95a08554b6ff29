#include "BrowserHosts.h"
#include "browse/FolderTreeModel.h"
#include "browse/HostListBox.h"
#include "browse/TChangesForm.h"
#include "browse/TTabForm.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "core/catalogue/PendingFolders.h"
#include "core/catalogue/CatalogueHosts.h"
#include "core/scan/ScanSetup.h"
#include "ftp/TSelHost.h"
#include "widgets/UiSeam.h"

BrowserHosts::BrowserHosts(QWidget &window, TTabForm &browser, TSelHost &selHost, Catalogue &catalogue,
                           IniFile *settings)
    : QObject(&window)
    , m_window(window)
    , m_browser(browser)
    , m_catalogue(catalogue)
    , m_settings(settings)
{
    recodeNames();
    connect(browser.folderTree(), &QAbstractItemModel::modelReset, this, &BrowserHosts::showBrowsed);
    // The host chosen in the list is the one a scan then scans.
    connect(browser.hostList, &HostListBox::hostChosen, &selHost, &TSelHost::chooseHost);
    connect(&selHost, &TSelHost::hostConfirmed, this, &BrowserHosts::browseIfHeld);
    browser.hostList->refresh();
    showBrowsed();
}

QString BrowserHosts::browsed() const
{
    return m_browser.folderTree()->host();
}

void BrowserHosts::showBrowsed()
{
    const QString host = browsed();
    m_window.setWindowTitle(host.isEmpty() ? QStringLiteral("Harvex") : QStringLiteral("Harvex - ") + host);
    m_browser.hostList->setBrowsed(host);
}

void BrowserHosts::browseIfHeld(const QString &host)
{
    if (!m_catalogue.isOpen() || host == browsed())
        return;
    try {
        if (CatalogueHosts::holds(m_catalogue, host))
            m_browser.browseHost(host);
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
}

void BrowserHosts::showChanges(const QString &host)
{
    if (host.isEmpty())
        return;
    if (!m_changes)
        m_changes = new TChangesForm(m_catalogue, &m_window);
    m_changes->showHost(host, m_settings ? ScanSetup::codePageFor(*m_settings, host) : QByteArray());
}

void BrowserHosts::recodeNames()
{
    if (!m_settings)
        return;
    try {
        ExactNames::recodeChangedHosts(m_catalogue, [this](const QString &host) {
            return ScanSetup::codePageFor(*m_settings, host);
        });
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
}

qint64 BrowserHosts::foldersLeft(const QString &host) const
{
    if (!m_catalogue.isOpen())
        return 0;
    try {
        return PendingFolders::waiting(m_catalogue.database(), host.left(Catalogue::HostSize));
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return 0;
    }
}
