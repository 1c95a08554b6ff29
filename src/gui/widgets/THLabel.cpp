#include "THLabel.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

THLabel::THLabel(QWidget *parent)
    : QLabel(parent)
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void THLabel::setHotTruck(bool v)
{
    m_hotTruck = v;
    update();
}

void THLabel::enterEvent(QEnterEvent *)
{
    m_mouseInside = true;
    update();
    if (OnMouseEnter)
        OnMouseEnter(this, Qt::NoModifier, QCursor::pos().x(), QCursor::pos().y());
}

void THLabel::leaveEvent(QEvent *)
{
    m_mouseInside = false;
    update();
    if (OnMouseLeave)
        OnMouseLeave(this, Qt::NoModifier, QCursor::pos().x(), QCursor::pos().y());
}

// A double click is a click and then the double click: the release that
// ends it is no second click.
void THLabel::mouseReleaseEvent(QMouseEvent *e)
{
    const bool endsDouble = m_inDoubleClick;
    m_inDoubleClick = false;
    if (!endsDouble && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

void THLabel::mouseDoubleClickEvent(QMouseEvent *)
{
    m_inDoubleClick = true;
    emit doubleClicked();
}

QImage THLabel::DrawLabelText()
{
    QImage img(size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setFont(font());
    const int flags = int(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    const QColor normal = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    const QRect r = contentsRect();
    p.setPen(normal);
    p.drawText(r, flags, text());
    if (!m_mouseInside)
        return img;
    p.setPen(toQColor(m_colorHi));
    for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, -1), QPoint(0, 1)})
        p.drawText(r.translated(d), flags, text());
    p.setPen(normal);
    p.drawText(r, flags, text());
    return img;
}

void THLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, DrawLabelText());
}
