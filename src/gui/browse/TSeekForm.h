#pragma once
#include "DropDownCombo.h"
#include <QLabel>
#include <QLineEdit>
#include "widgets/DialogWindow.h"

class DataSet;
class TCoolBtn;
class TTabForm;

// "Find records": a name pattern and a file type; the result goes to the
// browser's grid.
class TSeekForm : public DialogWindow
{
    Q_OBJECT
public:
    explicit TSeekForm(QWidget *mainWindow);
    // The browser is created after the dialogs; its catalogue is theirs.
    void setBrowser(TTabForm *browser);

    QLabel *Label1, *Label2;
    QLineEdit *edName;
    DropDownCombo *cbType;
    TCoolBtn *btnOk, *btnCancel;
    DataSet *Query = nullptr;
    DataSet *qExt = nullptr;

public slots:
    void btnOkClick();
    void btnCancelClick() { hide(); }
    void submit() override { btnOkClick(); }
    void cancel() override { btnCancelClick(); }
    void cbTypeDropDown();

protected:
    void FormShow() override;

private:
    TTabForm *m_browser = nullptr;
};
