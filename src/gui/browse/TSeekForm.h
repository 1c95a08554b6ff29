#pragma once
#include "DropDownCombo.h"
#include <QLabel>
#include <QLineEdit>
#include "widgets/DialogWindow.h"

class Catalogue;
class DataSet;
class TCoolBtn;
class TTabForm;

// "Find records": a name pattern and a file type; the result goes to the
// browser's grid.
class TSeekForm : public DialogWindow
{
    Q_OBJECT
public:
    // The catalogue is read once it is open, at the first find.
    TSeekForm(Catalogue &catalogue, QWidget *mainWindow);
    // The browser is created after the dialogs; the finds go to its grid.
    void setBrowser(TTabForm *browser) { m_browser = browser; }

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
    Catalogue &m_catalogue;
    TTabForm *m_browser = nullptr;
};
