#pragma once
#include "core/scan/CodePagePreview.h"

#include <QWidget>

class Catalogue;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class ScanOptionsDraft;

// The Options dialog's page for one host at a time: TLS, the pinned
// certificate and the code page, with the host's stored names as the code
// page reads them. Edits go to the draft as the user moves between hosts.
class HostOptionsPage : public QWidget
{
    Q_OBJECT
public:
    HostOptionsPage(Catalogue &catalogue, QWidget *parent = nullptr);

    // Not owned; outlives the dialog's showing. hosts: those offered, the
    // first one shown.
    void start(ScanOptionsDraft *draft, const QStringList &hosts);
    // The shown host's values into the draft.
    void keep();

    QComboBox *cbHost, *cbTls, *cbCodePage;
    QLabel *laPin, *laPreview;
    QPushButton *btnForget;
    QListWidget *lbPreview;

private:
    void hostChosen(const QString &hostText);
    void showHost();
    void readPreview();
    void showPin();
    void showPreview();
    QString previewCaption(const QByteArray &codePage) const;
    void forgetPin();

    Catalogue &m_catalogue;
    ScanOptionsDraft *m_draft = nullptr;
    QString m_host; // the key shown
    CodePagePreview m_preview;
    QString m_previewError; // the catalogue could not be read
};
