#include "ButtonSlot.h"
#include "TCoolBtn.h"

ButtonSlot::ButtonSlot(TCoolBtn *button, QSize size, QWidget *parent)
    : QWidget(parent)
    , m_button(button)
{
    const int rise = button->Rise();
    setFixedSize(size.width() + 2 * rise, size.height() + 2 * rise);
    button->setParent(this);
    button->setGeometry(rise, rise, size.width(), size.height());
}
