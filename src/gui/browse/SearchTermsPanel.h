#pragma once
#include "core/catalogue/SearchRequest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

// The find dialog's further terms, shown under "More": a regular
// expression, types, size and time bounds, a host, a folder to search
// below, files or folders only; and the searches kept, to run one again or
// save this one under a name.
class SearchTermsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SearchTermsPanel(QWidget *parent = nullptr);

    QCheckBox *cbRegex;
    QLineEdit *edTypes, *edMinSize, *edMaxSize, *edNewer, *edOlder, *edHost, *edUnder;
    QComboBox *cbKind;
    QComboBox *cbSearches;
    QLineEdit *edSaveName;
    QPushButton *btnSave;

    // The panel's texts into request; the pattern and the dialog's type stay.
    void read(SearchRequest &request) const;
    void show(const SearchRequest &request);
    // The drop-down's entries: the saved searches by name, then the recent ones.
    void setSearches(const QList<std::pair<QString, SearchRequest>> &saved, const QList<SearchRequest> &recent);

signals:
    void searchChosen(const SearchRequest &request);
    void saveAsked(const QString &name);

private:
    void addRows();
    QWidget *pair(QLineEdit *from, QLineEdit *to);
};
