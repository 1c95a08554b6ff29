#include "HostListBox.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "widgets/UiSeam.h"
#include "widgets/ValueText.h"

#include <QAbstractItemView>
#include <QLocale>

HostListBox::HostListBox(Catalogue &catalogue, QWidget *parent)
    : QComboBox(parent)
    , m_catalogue(catalogue)
{
    setToolTip(QStringLiteral("Hosts in the catalogue"));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    // The popup may be wider than the panel: the lines are long.
    view()->setTextElideMode(Qt::ElideNone);
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_browsed = itemData(index).toString();
        emit hostChosen(m_browsed);
    });
}

QString HostListBox::lineFor(const CatalogueHosts::Host &h)
{
    const QString scanned = h.lastScan.isValid()
                                ? QLocale().toString(h.lastScan.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm"))
                                : QStringLiteral("not recorded");
    const QString entries = h.entries == 1 ? QStringLiteral("1 entry")
                                           : ValueText::count(h.entries) + QStringLiteral(" entries");
    const QString result = h.lastResult.isEmpty() ? QString() : QStringLiteral(", ") + h.lastResult;
    return QStringLiteral("%1  (%2, %3, last scan %4%5)").arg(h.name, entries, ValueText::bytes(h.bytes), scanned, result);
}

void HostListBox::refresh()
{
    QList<CatalogueHosts::Host> hosts;
    try {
        if (m_catalogue.isOpen())
            hosts = CatalogueHosts::all(m_catalogue);
        m_readAt = CatalogueHosts::version(m_catalogue);
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return; // the list stays as it was
    }
    const QSignalBlocker quiet(this);
    clear();
    for (const CatalogueHosts::Host &h : hosts)
        addItem(lineFor(h), h.name);
    setBrowsed(m_browsed);
}

void HostListBox::setBrowsed(const QString &host)
{
    m_browsed = host;
    const QSignalBlocker quiet(this);
    setCurrentIndex(findData(host.left(Catalogue::HostSize)));
}

// The list costs a pass over every row (a third of a second a million):
// read again only when the catalogue may have changed since.
void HostListBox::showPopup()
{
    std::optional<QByteArray> now;
    try {
        now = CatalogueHosts::version(m_catalogue);
    } catch (const CatalogueError &) {
        // Not known: the list is read again, and refresh() tells the failure.
    }
    if (!now || now != m_readAt)
        refresh();
    QComboBox::showPopup();
}
