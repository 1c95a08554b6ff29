#pragma once
#include <QComboBox>

// A drop-down list that says when it is about to drop down.
class DropDownCombo : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void dropDown();
};
