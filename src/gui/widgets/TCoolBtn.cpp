#include "TCoolBtn.h"

#include <QApplication>
#include <QCursor>
#include <qdrawutil.h>
#include <QEnterEvent>
#include <QPainter>

TCoolBtn::TCoolBtn(QWidget *parent)
    : QPushButton(parent)
{
    resize(75, 21);
    setCursor(Qt::PointingHandCursor);
    connect(qApp, &QApplication::focusChanged, this, &TCoolBtn::onFocusChanged);
}

// The first assignment (the stored value of a form) never swaps the sides;
// every later change does.
void TCoolBtn::ChangeOrientation(bool v)
{
    if (v != m_vertical) {
        m_vertical = v;
        if (!m_firstVertical)
            resize(height(), width());
        update();
    }
    m_firstVertical = false;
}

void TCoolBtn::UpdateActive(bool active)
{
    if (active != m_defaultActive)
        m_defaultActive = active;
}

void TCoolBtn::onFocusChanged(QWidget *, QWidget *now)
{
    const bool nowIsButton = qobject_cast<QPushButton *>(now) != nullptr;
    UpdateActive(nowIsButton ? now == this : isDefault());
}

TColor TCoolBtn::MidColor() const
{
    if (!isEnabled())
        return m_colorDis;
    return m_mouseInside ? m_colorH : m_colorN;
}

void TCoolBtn::grow(int by)
{
    move(x() - by, y() - by);
    resize(width() + 2 * by, height() + 2 * by);
}

void TCoolBtn::enterEvent(QEnterEvent *)
{
    m_mouseInside = true;
    grow(m_rise);
    if (OnMouseEnter)
        OnMouseEnter(this, Qt::NoModifier, QCursor::pos().x(), QCursor::pos().y());
}

void TCoolBtn::leaveEvent(QEvent *)
{
    m_mouseInside = false;
    grow(-int(m_rise));
    if (OnMouseLeave)
        OnMouseLeave(this, Qt::NoModifier, QCursor::pos().x(), QCursor::pos().y());
}

// The second press of a double click presses the button again: two clicks.
void TCoolBtn::mouseDoubleClickEvent(QMouseEvent *e)
{
    mousePressEvent(e);
}

void TCoolBtn::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, PaintButton(isDown(), hasFocus()));
}

// A GDI rectangle: outline in the pen colour over left..right-1, top..bottom-1.
void TCoolBtn::frameRect(QPainter &p, QRect &face, TColor pen)
{
    m_penColor = pen;
    p.setPen(toQColor(pen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(face.adjusted(0, 0, -1, -1));
    face.adjust(1, 1, -1, -1);
}

QImage TCoolBtn::PaintButton(bool down, bool focus)
{
    QImage img(size(), QImage::Format_RGB32);
    img.fill(toQColor(SysColor::ButtonFace));
    QPainter p(&img);
    const QRect client(0, 0, width(), height());
    m_faceRect = client;
    if (m_defaultActive || focus)
        frameRect(p, m_faceRect, SysColor::WindowFrame);
    if (!down) {
        qDrawWinButton(&p, m_faceRect, palette(), false, &palette().brush(QPalette::Button));
        m_faceRect.adjust(2, 2, -2, -2);
    } else {
        frameRect(p, m_faceRect, SysColor::ButtonShadow);
        if (m_frame3D) {
            m_penColor = m_color1;
            qDrawWinButton(&p, m_faceRect, palette(), true, &palette().brush(QPalette::Button));
            m_faceRect.adjust(2, 2, -2, -2);
        }
    }
    m_faceRect.adjust(-1, -1, 1, 1);
    if (m_defaultActive)
        m_faceRect = client.adjusted(1, 1, -1, -1);
    if (down)
        m_faceRect.translate(2, 2);
    PaintFace(p, m_faceRect);
    PaintCaption(p, m_faceRect);
    if (m_defaultActive && focus) {
        QPen dotted(toQColor(SysColor::WindowFrame), 1, Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(client.adjusted(5, 5, -6, -6));
    }
    return img;
}

void TCoolBtn::line(QPainter &p, int i, int lineEnd, TColor c)
{
    m_penColor = c;
    p.setPen(toQColor(c));
    // The end point itself is not painted.
    if (m_vertical)
        p.drawLine(i, 2, i, lineEnd - 1);
    else
        p.drawLine(2, i, lineEnd - 1, i);
}

void TCoolBtn::PaintFace(QPainter &p, const QRect &r)
{
    const int L = r.left();
    const int T = r.top();
    const int along = m_vertical ? width() : height();
    const int across = m_vertical ? height() : width();
    const int lastRow = along + L - 5;
    const int lineEnd = across + T - 4;
    const int P = lastRow + 4;
    const int bordRow = P * m_shBord / 100;
    const int centRow = P * m_shCent / 100;
    const TColor mid = MidColor();
    for (int i = T; i <= bordRow; ++i)
        line(p, i, lineEnd, BlendColor(m_color2, mid, quint32(i), quint32(m_shBord + T)));
    for (int i = bordRow; i <= centRow; ++i)
        line(p, i, lineEnd, BlendColor(m_penColor, mid, quint32(i - bordRow), quint32(centRow - bordRow + T)));
    for (int i = centRow; i <= lastRow; ++i) {
        // A middle row on the last row would divide by zero: that row is the middle colour.
        const TColor c = lastRow == centRow ? mid : BlendColor(mid, m_color1, quint32(i - centRow), quint32(lastRow - centRow));
        line(p, i, lineEnd, c);
    }
}

// The caption's font: the button's, with an average character width of the
// font's size in points (7 for the 9-pixel font) and black weight when bold.
QFont TCoolBtn::captionFont() const
{
    QFont f = font();
    f.setWeight(f.bold() ? QFont::Black : QFont::Normal);
    const int pixels = QFontInfo(f).pixelSize();
    const int wanted = qRound(pixels * 72.0 / 96.0);
    const int average = QFontMetrics(f).averageCharWidth();
    if (wanted > 0 && average > 0 && average != wanted)
        f.setStretch(qBound(1, 100 * wanted / average, 4000));
    return f;
}

void TCoolBtn::PaintCaption(QPainter &p, const QRect &r)
{
    const QFont f = captionFont();
    p.setFont(f);
    p.setPen(m_fontColor);
    const QString caption = text().left(255);
    // An "&" marks the mnemonic: underlined, not drawn.
    const int mnemonic = Qt::TextShowMnemonic;
    if (m_vertical) {
        const QFontMetrics fm(f);
        const int w = fm.horizontalAdvance(QString(caption).remove(u'&'));
        const int h = fm.height();
        p.save();
        p.translate((r.right() + 1 - h) / 2, (r.bottom() + 1 + w) / 2);
        p.rotate(-90);
        p.drawText(QRect(0, 0, w + 2, h), mnemonic, caption);
        p.restore();
        return;
    }
    // Measure the wrapped text, then centre its box in the whole button.
    const QRect calc = p.boundingRect(QRect(r.left(), r.top(), r.width(), 10000),
                                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | mnemonic, caption);
    QRect textRect(r.left(), r.top(), calc.width(), calc.height());
    textRect.translate((width() - (r.left() + calc.width())) / 2, (height() - (r.top() + calc.height())) / 2);
    p.drawText(textRect, Qt::AlignHCenter | Qt::TextWordWrap | mnemonic, caption);
}
