#pragma once
#include <QLabel>
#include <QPlainTextEdit>
#include "widgets/DialogWindow.h"

class TCoolBtn;
class TTabForm;

// "Query Data Base": any statement, its result in the browser's grid.
class TQueryForm : public DialogWindow
{
    Q_OBJECT
public:
    explicit TQueryForm(QWidget *mainWindow);
    // The browser is created after the dialogs; its catalogue is theirs.
    void setBrowser(TTabForm *browser);

    QLabel *Label1;
    QPlainTextEdit *Memo1;
    TCoolBtn *btnDeafult, *btnCancel, *btnExec;

public slots:
    void btnDeafultClick();
    void btnCancelClick() { hide(); }
    void submit() override { btnExecClick(); }
    void cancel() override { btnCancelClick(); }
    void btnExecClick();

private:
    TTabForm *m_browser = nullptr;
};
