#pragma once
#include <QHBoxLayout>

class TCoolBtn;

// A dialog's "&Ok" (the default button) and "&Cancel" buttons, right-aligned
// in a row, each in a 75 x 21 slot. The buttons are the dialog's children.
class OkCancelRow : public QHBoxLayout
{
    Q_OBJECT
public:
    OkCancelRow(QWidget *dialog, const QFont &font);

    TCoolBtn *ok;
    TCoolBtn *cancel;
};
