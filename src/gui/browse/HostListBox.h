#pragma once
#include "core/catalogue/CatalogueHosts.h"

#include <QComboBox>

class Catalogue;

// The drop-down above the folder tree: every host the catalogue holds, with
// its entries, size and last scan. Read again as it opens when the
// catalogue may have changed, so a scan or a statement in the SQL window
// shows at once; choosing one says so.
class HostListBox : public QComboBox
{
    Q_OBJECT
public:
    explicit HostListBox(Catalogue &catalogue, QWidget *parent = nullptr);

    // Reads the hosts again, keeping host selected (none when it is not held).
    void refresh();
    // Shows host as the one browsed, without reading the list again.
    void setBrowsed(const QString &host);
    QString browsed() const { return currentData().toString(); }
    static QString lineFor(const CatalogueHosts::Host &h);
    void showPopup() override;

signals:
    void hostChosen(const QString &host);

private:
    Catalogue &m_catalogue;
    QString m_browsed;
    std::optional<QByteArray> m_readAt; // the catalogue's version the list was read at
};
