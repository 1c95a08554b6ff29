#pragma once
#include "DropDownCombo.h"
#include "core/catalogue/FoundRows.h"
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include "widgets/DialogWindow.h"

class Catalogue;
class DataSet;
class IniFile;
class SearchTermsPanel;
class TCoolBtn;
class TTabForm;
struct SearchRequest;

// "Find records": a name pattern and a file type, and under "More" the
// further terms of the core search and the searches kept; the result, with
// each row's path, goes to the browser's grid.
class TSeekForm : public DialogWindow
{
    Q_OBJECT
public:
    // The catalogue is read once it is open, at the first find.
    TSeekForm(Catalogue &catalogue, QWidget *mainWindow);
    // The browser is created after the dialogs; the finds go to its grid.
    void setBrowser(TTabForm *browser) { m_browser = browser; }
    // The hosts' code pages and the searches kept; none: neither.
    void setSettings(IniFile *settings);

    QLabel *Label1, *Label2;
    QLineEdit *edName;
    DropDownCombo *cbType;
    TCoolBtn *btnOk, *btnCancel;
    QToolButton *btnMore;
    SearchTermsPanel *More;
    FoundRows *Query = nullptr;
    DataSet *qExt = nullptr;

    // The search the fields ask for, the further terms only while shown.
    SearchRequest request() const;

public slots:
    void btnOkClick();
    void btnCancelClick() { hide(); }
    void submit() override { btnOkClick(); }
    void cancel() override { btnCancelClick(); }
    void cbTypeDropDown();
    void showMore(bool shown);

protected:
    void FormShow() override;

private:
    void buildMore();
    bool typesFromMore() const;
    void choose(const SearchRequest &request);
    void save(const QString &name);
    void listSearches();

    Catalogue &m_catalogue;
    TTabForm *m_browser = nullptr;
    IniFile *m_settings = nullptr;
};
