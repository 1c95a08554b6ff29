#pragma once
#include <QObject>
#include <QString>
#include <QtGlobal>

class Catalogue;
class IniFile;
class QWidget;
class TChangesForm;
class TSelHost;
class TTabForm;

// Which host the browser shows, kept in step everywhere: the main window's
// title and the host list follow the tree; a host chosen in the list
// becomes the dialog's; a host named in the dialog (OK) is browsed when the
// catalogue holds it. Also opens the Changes window for a host, decodes
// names again after a host's code page changed, and tells what a host's
// interrupted scan left.
class BrowserHosts : public QObject
{
    Q_OBJECT
public:
    // window: the main window, whose title names the host; the parent.
    BrowserHosts(QWidget &window, TTabForm &browser, TSelHost &selHost, Catalogue &catalogue, IniFile *settings);

    QString browsed() const;
    void showChanges(const QString &host);
    TChangesForm *changesForm() const { return m_changes; }
    // Names stored while a host's [ENCODING] said otherwise are decoded
    // again from their listed bytes; first when this is made, before the
    // browser shows them.
    void recodeNames();
    // Folders an interrupted scan of host left; 0 on an error, which is shown.
    qint64 foldersLeft(const QString &host) const;

private:
    void showBrowsed();
    void browseIfHeld(const QString &host);

    QWidget &m_window;
    TTabForm &m_browser;
    Catalogue &m_catalogue;
    IniFile *m_settings;
    TChangesForm *m_changes = nullptr; // a child of the window, made when first shown
};
