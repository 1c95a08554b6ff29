#pragma once
#include <QWidget>

class TCoolBtn;

// Room for a TCoolBtn of a fixed size inside a layout: the slot is larger by
// the button's Rise on every side, so the button can grow while the pointer
// is over it instead of being held at its size by the layout.
class ButtonSlot : public QWidget
{
    Q_OBJECT
public:
    ButtonSlot(TCoolBtn *button, QSize size, QWidget *parent = nullptr);
    TCoolBtn *button() const { return m_button; }

private:
    TCoolBtn *m_button;
};
