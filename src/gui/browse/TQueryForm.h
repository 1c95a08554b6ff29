#pragma once
#include <QLabel>
#include <QPlainTextEdit>
#include "widgets/DialogWindow.h"

class Catalogue;
class TCoolBtn;
class TTabForm;

// "Query Data Base": any statement, its result in the browser's grid.
class TQueryForm : public DialogWindow
{
    Q_OBJECT
public:
    TQueryForm(Catalogue &catalogue, QWidget *mainWindow);
    // The browser is created after the dialogs; the results go to its grid.
    void setBrowser(TTabForm *browser) { m_browser = browser; }
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

    Catalogue &m_catalogue;
    TTabForm *m_browser = nullptr;
    bool m_scanRunning = false;
};
