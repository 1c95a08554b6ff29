#pragma once
#include "BlendColor.h"
#include "TMouseMoveEvent.h"

#include <QImage>
#include <QPushButton>
#include <QRect>

// The program's push button: a face of colour bands from a light top edge
// through a highlight row to a base colour, grown by Rise on every side while
// the pointer is over it.
class TCoolBtn : public QPushButton
{
    Q_OBJECT
public:
    explicit TCoolBtn(QWidget *parent = nullptr);

    TColor Color_1() const { return m_color1; }
    void setColor_1(TColor c) { repaintWith(m_color1, c); }
    TColor Color_2() const { return m_color2; }
    void setColor_2(TColor c) { repaintWith(m_color2, c); }
    TColor Color_N() const { return m_colorN; }
    void setColor_N(TColor c) { repaintWith(m_colorN, c); }
    TColor Color_H() const { return m_colorH; }
    void setColor_H(TColor c) { repaintWith(m_colorH, c); }
    TColor Color_Dis() const { return m_colorDis; }
    void setColor_Dis(TColor c) { repaintWith(m_colorDis, c); }
    bool Frame3D() const { return m_frame3D; }
    void setFrame3D(bool v) { m_frame3D = v; }
    quint16 sh_Bord() const { return m_shBord; }
    void setSh_Bord(quint16 v) { repaintWith(m_shBord, v); }
    quint16 sh_Cent() const { return m_shCent; }
    void setSh_Cent(quint16 v) { repaintWith(m_shCent, v); }
    quint8 Rise() const { return m_rise; }
    void setRise(quint8 v) { m_rise = v; }
    bool Vertical() const { return m_vertical; }
    void ChangeOrientation(bool v);
    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor &c) { repaintWith(m_fontColor, c); }
    bool MouseInside() const { return m_mouseInside; }
    QFont captionFont() const;
    bool DefaultActive() const { return m_defaultActive; }
    void UpdateActive(bool active);

    TMouseMoveEvent OnMouseEnter;
    TMouseMoveEvent OnMouseLeave;

    // The whole paint of one state, as pixels.
    QImage PaintButton(bool down, bool focus);
    TColor MidColor() const;

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    void PaintFace(QPainter &p, const QRect &r);
    void PaintCaption(QPainter &p, const QRect &r);
    void line(QPainter &p, int i, int lineEnd, TColor c);
    void frameRect(QPainter &p, QRect &face, TColor pen);
    void onFocusChanged(QWidget *old, QWidget *now);
    void grow(int by);
    // Every look's setter: a change paints the button again, the same value
    // leaves it.
    template <typename T>
    void repaintWith(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        update();
    }

    bool m_firstVertical = true;
    QRect m_faceRect;
    // The drawing surface keeps its pen between paints; only its colour matters.
    TColor m_penColor = 0;
    bool m_defaultActive = false;
    bool m_frame3D = true;
    TColor m_color1 = 0xC0C0C0;
    TColor m_color2 = 0xFFFFFF;
    TColor m_colorN = 0x00FFFF;
    TColor m_colorH = 0x00FF00;
    TColor m_colorDis = 0xC0C0C0;
    quint16 m_shBord = 10;
    quint16 m_shCent = 50;
    quint8 m_rise = 1;
    bool m_vertical = false;
    bool m_mouseInside = false;
    QColor m_fontColor = Qt::black;
};
