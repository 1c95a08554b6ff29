#pragma once
#include "BlendColor.h"
#include "TMouseMoveEvent.h"

#include <QImage>
#include <QLabel>

// A label that reacts to the pointer like a link: while the pointer is over
// it the caption gets a one-pixel outline in ColorHi.
class THLabel : public QLabel
{
    Q_OBJECT
public:
    explicit THLabel(QWidget *parent = nullptr);

    bool HotTruck() const { return m_hotTruck; }
    void setHotTruck(bool v);
    TColor ColorHi() const { return m_colorHi; }
    void setColorHi(TColor c) { m_colorHi = c; }
    bool MouseInside() const { return m_mouseInside; }

    TMouseMoveEvent OnMouseEnter;
    TMouseMoveEvent OnMouseLeave;

    // The caption as drawn now, on a transparent background.
    QImage DrawLabelText();

signals:
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *) override;

private:
    bool m_hotTruck = false;
    bool m_mouseInside = false;
    bool m_inDoubleClick = false;
    TColor m_colorHi = 0x00FF00;
};
