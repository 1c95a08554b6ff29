#include "ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>

namespace {
void drawGlass(QPainter &p, const QColor &c)
{
    p.setPen(QPen(c, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(6, 5, 15, 15));
    p.drawLine(19, 18, 27, 26);
}

void drawRows(QPainter &p, const QColor &c)
{
    p.setPen(QPen(c, 2));
    for (int y = 7; y <= 25; y += 6)
        p.drawLine(6, y, 26, y);
}
} // namespace

QImage ToolbarImages::render(int index, bool hot)
{
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = hot ? QColor(20, 90, 230) : QColor(60, 60, 90);
    const QColor fill = hot ? QColor(255, 220, 90) : QColor(200, 200, 210);
    switch (index) {
    case 0: // host: a server box
        p.setPen(QPen(ink, 2));
        p.setBrush(fill);
        p.drawRoundedRect(QRect(6, 4, 20, 24), 3, 3);
        p.drawLine(10, 11, 22, 11);
        p.drawLine(10, 17, 22, 17);
        break;
    case 1: // scan: a folder under a glass
        p.setPen(QPen(ink, 1));
        p.setBrush(fill);
        p.drawRect(QRect(3, 14, 18, 13));
        drawGlass(p, ink);
        break;
    case 2:
        drawRows(p, ink);
        break;
    case 3:
        drawGlass(p, ink);
        break;
    case 5: // statistics: blocks of a treemap
        p.setPen(QPen(ink, 1.5));
        p.setBrush(fill);
        p.drawRect(QRectF(4, 5, 14, 22));
        p.drawRect(QRectF(18, 5, 10, 12));
        p.drawRect(QRectF(18, 17, 10, 10));
        break;
    default: { // query: a database drum
        p.setPen(QPen(ink, 2));
        p.setBrush(fill);
        QPainterPath drum;
        drum.addRect(7, 8, 18, 16);
        p.drawPath(drum);
        p.drawEllipse(QRect(7, 4, 18, 8));
        p.drawArc(QRect(7, 20, 18, 8), 180 * 16, 180 * 16);
    }
    }
    return img;
}

QPixmap ToolbarImages::folderImage()
{
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(250, 210, 90));
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 6, 2);
    return QPixmap::fromImage(img);
}
