#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class DataSet;
class TCoolBtn;
class TTabForm;

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

// "Find records": a name pattern and a file type; the result goes to the
// browser's grid.
class TSeekForm : public QWidget
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
    void cbTypeDropDown();

protected:
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    TTabForm *m_browser = nullptr;
    QPointer<QWidget> m_mainWindow;
};
