#pragma once
#include "core/catalogue/FolderPaths.h"
#include "core/catalogue/SearchExport.h"

#include <QObject>

class Catalogue;
class IniFile;
class QWidget;
class TDupesForm;
class TSeekForm;
class TTabForm;

// What the main window does with finds beyond the find dialog: writes the
// find shown in the grid to a file, as CSV or as ftp:// addresses, and opens
// the Find Duplicates window, whose copies the browser lists.
class BrowserFinds : public QObject
{
    Q_OBJECT
public:
    // window: the main window, the parent of what opens.
    BrowserFinds(QWidget &window, TTabForm &browser, TSeekForm &seek, Catalogue &catalogue, IniFile *settings);

    // Asks for a file through the seam and writes every row of the find the
    // grid shows; what goes wrong is said through the message seam.
    void exportResults(SearchExport::Format format);
    void showDuplicates();
    TDupesForm *dupesForm() const { return m_dupes; }

private:
    void write(const QString &path, SearchExport::Format format);

    QWidget &m_window;
    TTabForm &m_browser;
    TSeekForm &m_seek;
    Catalogue &m_catalogue;
    FolderPaths::CodePageOf m_codePageOf;
    TDupesForm *m_dupes = nullptr; // a child of the window, made when first shown
};
