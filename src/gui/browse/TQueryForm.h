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
    // While a scan writes, statements that write are refused.
    void setScanRunning(bool running) { m_scanRunning = running; }
    static QString refusedDuringScan();

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
    bool writesDuringScan(const QString &sql) const;

    TTabForm *m_browser = nullptr;
    bool m_scanRunning = false;
};
