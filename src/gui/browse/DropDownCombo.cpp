#include "DropDownCombo.h"

void DropDownCombo::showPopup()
{
    emit dropDown();
    QComboBox::showPopup();
}
