#include "CatalogueGrid.h"
#include "GridDelegate.h"
#include "core/catalogue/DataSet.h"

#include <QHeaderView>
#include <QPainter>

CatalogueGrid::CatalogueGrid(QWidget *parent)
    : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setItemDelegate(new GridDelegate(this));
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette gp = palette();
    gp.setColor(QPalette::Base, QColor(242, 254, 255));
    setPalette(gp);
    // Sorted by the query, not in the view: a click on a header reruns it.
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    // Columns fitted to the rows of one page: Qt's 1,000 would read four
    // pages, each a query of its own over a sorted million rows.
    horizontalHeader()->setResizeContentsPrecision(DataSet::PageRows / 2);
}

void CatalogueGrid::setHint(const QString &text)
{
    if (text == m_hint)
        return;
    m_hint = text;
    viewport()->update();
}

// Transparent but for the text, so the grid's own painting shows through.
QImage CatalogueGrid::hintImage(const QSize &size) const
{
    if (m_hint.isEmpty() || (model() && model()->rowCount() > 0) || size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setFont(font());
    p.setPen(palette().color(QPalette::PlaceholderText));
    p.drawText(QRect(QPoint(0, 0), size).adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_hint);
    return image;
}

void CatalogueGrid::paintEvent(QPaintEvent *e)
{
    QTableView::paintEvent(e);
    const QImage hint = hintImage(viewport()->size());
    if (hint.isNull())
        return;
    QPainter p(viewport());
    p.drawImage(0, 0, hint);
}
