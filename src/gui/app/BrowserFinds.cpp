#include "BrowserFinds.h"
#include "browse/TDupesForm.h"
#include "browse/TSeekForm.h"
#include "browse/TTabForm.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/PathSearch.h"
#include "core/scan/ScanSetup.h"
#include "widgets/UiSeam.h"

#include <QApplication>
#include <QSaveFile>

BrowserFinds::BrowserFinds(QWidget &window, TTabForm &browser, TSeekForm &seek, Catalogue &catalogue, IniFile *settings)
    : QObject(&window)
    , m_window(window)
    , m_browser(browser)
    , m_seek(seek)
    , m_catalogue(catalogue)
    , m_codePageOf([settings](const QString &host) {
        return settings ? ScanSetup::codePageFor(*settings, host) : QByteArray("latin1");
    })
{
}

void BrowserFinds::exportResults(SearchExport::Format format)
{
    if (m_browser.DS() != m_seek.Query || !m_seek.Query->isOpen()) {
        UiSeam::message(QStringLiteral("Only a find's results can be exported: choose Find first."));
        return;
    }
    const bool csv = format == SearchExport::Format::Csv;
    const QString path = UiSeam::saveFileName(csv ? QStringLiteral("Export the results as CSV")
                                                  : QStringLiteral("Export the results' addresses"),
                                              csv ? QStringLiteral("CSV files (*.csv)") : QStringLiteral("URL lists (*.txt)"));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    write(path, format);
    QApplication::restoreOverrideCursor();
}

// Written whole or not at all: the file appears only once every row is in.
void BrowserFinds::write(const QString &path, SearchExport::Format format)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        UiSeam::message(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
        return;
    }
    PathSearch search(m_catalogue.database(), m_codePageOf);
    SearchExport exporter(search);
    try {
        if (!exporter.write(file, format, m_seek.Query->terms(), m_seek.Query->under()) || !file.commit()) {
            UiSeam::message(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
            return;
        }
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return;
    }
    if (exporter.unaddressed() > 0)
        UiSeam::message(QStringLiteral("%1 rows lie below folders missing from the catalogue: they have no address "
                                       "and are not in the list.")
                            .arg(exporter.unaddressed()));
}

void BrowserFinds::showDuplicates()
{
    if (!m_dupes) {
        m_dupes = new TDupesForm(m_catalogue, m_codePageOf, &m_window);
        connect(m_dupes, &TDupesForm::folderShown, &m_browser, &TTabForm::showFolder);
    }
    m_dupes->show();
    m_dupes->raise();
    m_dupes->activateWindow();
}
