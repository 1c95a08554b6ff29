#include "TSeekForm.h"
#include "core/catalogue/BrowseQueries.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/DataSet.h"
#include "core/catalogue/NameSearch.h"
#include "TTabForm.h"
#include "widgets/OkCancelRow.h"
#include "widgets/TCoolBtn.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSqlRecord>

TSeekForm::TSeekForm(Catalogue &catalogue, QWidget *mainWindow)
    : DialogWindow(mainWindow)
    , m_catalogue(catalogue)
{
    setWindowTitle(QStringLiteral("Find records"));
    resize(313, 134);
    auto *grid = new QGridLayout(this);
    Label1 = new QLabel(QStringLiteral("File &Name"), this);
    edName = new QLineEdit(QStringLiteral("%"), this);
    Label2 = new QLabel(QStringLiteral("File &Type"), this);
    cbType = new DropDownCombo(this);
    cbType->addItem(QStringLiteral("ALL"));
    Label1->setBuddy(edName);
    Label2->setBuddy(cbType);
    QFont buttonFont = font();
    buttonFont.setPixelSize(9);
    auto *buttons = new OkCancelRow(this, buttonFont);
    btnOk = buttons->ok;
    btnCancel = buttons->cancel;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(edName, 0, 1, 1, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(cbType, 1, 1, 1, 2);
    grid->addLayout(buttons, 2, 0, 1, 3);
    connect(btnOk, &QPushButton::clicked, this, &TSeekForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TSeekForm::btnCancelClick);
    connect(cbType, &DropDownCombo::dropDown, this, &TSeekForm::cbTypeDropDown);
    // A data set names its connection; it opens it only when run.
    Query = new DataSet(catalogue.connectionName(), this);
    qExt = new DataSet(catalogue.connectionName(), this);
    qExt->setSql(BrowseQueries::fileTypes());
}

void TSeekForm::FormShow()
{
    cbType->setCurrentIndex(0);
}

void TSeekForm::btnOkClick()
{
    hide();
    const QString type = cbType->currentIndex() <= 0 ? QStringLiteral("ALL") : cbType->currentText();
    // The same rows as Name LIKE, through the trigram index when it can help.
    const NameSearch search(m_catalogue.database());
    const CatalogueQueries::Statement find = CatalogueQueries::find(edName->text(), type, QString(), &search);
    m_browser->setDS(Query);
    Query->close();
    Query->setSql(find.sql);
    Query->setParams(find.params);
    m_browser->openDataSet(Query);
}

// Rebuilt at every drop-down, so types a scan has just added show up.
void TSeekForm::cbTypeDropDown()
{
    cbType->clear();
    cbType->addItem(QStringLiteral("ALL"));
    qExt->close();
    if (!m_browser->openDataSet(qExt))
        return;
    while (qExt->canFetchMore())
        qExt->fetchMore();
    for (int i = 0; i < qExt->rowCount(); ++i)
        cbType->addItem(qExt->record(i).value(0).toString());
}
