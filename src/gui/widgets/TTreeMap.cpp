#include "TTreeMap.h"
#include "SquarifiedLayout.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

TTreeMap::TTreeMap(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void TTreeMap::setItems(const QList<Item> &items)
{
    m_items = items;
    update();
}

// Edges are rounded once, so a block ends where its neighbour begins.
QList<QRect> TTreeMap::pixelRects(const QList<Item> &items, const QRect &area)
{
    QList<double> values;
    for (const Item &i : items)
        values.append(i.value);
    QList<QRect> rects;
    for (const QRectF &f : SquarifiedLayout::layout(values, QRectF(area))) {
        const int l = int(std::lround(f.left())), t = int(std::lround(f.top()));
        const int r = int(std::lround(f.right())), b = int(std::lround(f.bottom()));
        rects.append(QRect(QPoint(l, t), QPoint(r - 1, b - 1)));
    }
    return rects;
}

QList<QRect> TTreeMap::blockRects(const QSize &size) const
{
    return pixelRects(m_items, QRect(QPoint(0, 0), size));
}

QColor TTreeMap::colourOf(const Item &item, int index)
{
    if (item.id == 0)
        return QColor(200, 200, 200);
    // Hues a golden angle apart: neighbours never look alike.
    return QColor::fromHsv(int(std::fmod(index * 137.508 + 200, 360.0)), 90, 235);
}

QImage TTreeMap::render(const QSize &size) const
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(palette().color(QPalette::Base));
    QPainter p(&img);
    p.setFont(font());
    const QList<QRect> rects = blockRects(size);
    for (qsizetype i = 0; i < m_items.size(); ++i)
        paintBlock(p, m_items[i], rects[i], colourOf(m_items[i], int(i)), true);
    if (m_items.isEmpty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("Nothing stored here"));
    }
    return img;
}

// A block: its colour, a darker edge, the caption when it fits, and inside a
// top block its own children in a lighter shade.
void TTreeMap::paintBlock(QPainter &p, const Item &item, const QRect &r, const QColor &c, bool top) const
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    p.fillRect(r, c);
    const QFontMetrics fm = p.fontMetrics();
    const int captionHeight = fm.height() * (item.detail.isEmpty() ? 1 : 2) + 4;
    const bool captionFits = r.width() > 40 && r.height() > captionHeight;
    if (captionFits) {
        p.setPen(Qt::black);
        const QRect text = r.adjusted(3, 2, -3, 0);
        p.drawText(text, Qt::AlignLeft | Qt::AlignTop, fm.elidedText(item.label, Qt::ElideRight, text.width()));
        if (!item.detail.isEmpty())
            p.drawText(text.translated(0, fm.height()), Qt::AlignLeft | Qt::AlignTop,
                       fm.elidedText(item.detail, Qt::ElideRight, text.width()));
    }
    const QRect inner = r.adjusted(3, captionFits ? captionHeight : 3, -4, -4);
    if (top && !item.children.isEmpty() && inner.width() > 8 && inner.height() > 8) {
        const QList<QRect> rects = pixelRects(item.children, inner);
        for (qsizetype i = 0; i < item.children.size(); ++i)
            paintBlock(p, item.children[i], rects[i], c.lighter(112 + int(i % 3) * 4), false);
    }
    p.setPen(c.darker(top ? 160 : 125));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

int TTreeMap::itemAt(const QPoint &pos) const
{
    const QList<QRect> rects = blockRects(size());
    for (qsizetype i = 0; i < rects.size(); ++i)
        if (rects[i].contains(pos))
            return int(i);
    return -1;
}

void TTreeMap::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, render(size()));
}

void TTreeMap::mouseReleaseEvent(QMouseEvent *e)
{
    if (m_inDoubleClick) {
        m_inDoubleClick = false; // the end of a double click is no click
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const int i = itemAt(e->position().toPoint());
    m_lastClicked = i < 0 ? 0 : m_items[i].id;
    if (m_lastClicked != 0)
        emit blockClicked(m_lastClicked);
}

// The first click has already gone into the folder: the double click names it.
void TTreeMap::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_inDoubleClick = true;
    if (m_lastClicked != 0)
        emit blockDoubleClicked(m_lastClicked);
}
