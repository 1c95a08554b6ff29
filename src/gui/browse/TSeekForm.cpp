#include "TSeekForm.h"
#include "core/base/IniFile.h"
#include "core/catalogue/BrowseQueries.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/DataSet.h"
#include "core/catalogue/FoundRows.h"
#include "core/catalogue/SavedSearches.h"
#include "core/scan/ScanSetup.h"
#include "SearchTermsPanel.h"
#include "TTabForm.h"
#include "widgets/OkCancelRow.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSqlRecord>

namespace {
constexpr QSize ClosedSize(313, 134);
}

TSeekForm::TSeekForm(Catalogue &catalogue, QWidget *mainWindow)
    : DialogWindow(mainWindow)
    , m_catalogue(catalogue)
{
    setWindowTitle(QStringLiteral("Find records"));
    resize(ClosedSize);
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
    btnMore = new QToolButton(this);
    btnMore->setText(QStringLiteral("&More"));
    btnMore->setCheckable(true);
    buttons->insertWidget(0, btnMore);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(edName, 0, 1, 1, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(cbType, 1, 1, 1, 2);
    grid->addLayout(buttons, 2, 0, 1, 3);
    buildMore();
    grid->addWidget(More, 3, 0, 1, 3);
    connect(btnOk, &QPushButton::clicked, this, &TSeekForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TSeekForm::btnCancelClick);
    connect(cbType, &DropDownCombo::dropDown, this, &TSeekForm::cbTypeDropDown);
    // A data set names its connection; it opens it only when run.
    Query = new FoundRows(catalogue.connectionName(), this);
    // Queued: a path is read while the grid paints.
    connect(Query, &FoundRows::readFailed, this, [](const QString &why) { UiSeam::message(why); }, Qt::QueuedConnection);
    qExt = new DataSet(catalogue.connectionName(), this);
    qExt->setSql(BrowseQueries::fileTypes());
}

void TSeekForm::buildMore()
{
    More = new SearchTermsPanel(this);
    More->hide();
    connect(btnMore, &QToolButton::toggled, this, &TSeekForm::showMore);
    connect(More, &SearchTermsPanel::searchChosen, this, &TSeekForm::choose);
    connect(More, &SearchTermsPanel::saveAsked, this, &TSeekForm::save);
}

void TSeekForm::setSettings(IniFile *settings)
{
    m_settings = settings;
    Query->setCodePageOf([settings](const QString &host) {
        return settings ? ScanSetup::codePageFor(*settings, host) : QByteArray("latin1");
    });
    listSearches();
}

// Closed, the dialog is the small one it has always been.
void TSeekForm::showMore(bool shown)
{
    btnMore->setChecked(shown);
    More->setVisible(shown);
    // The layout's minimum follows the panel only once it is worked out again.
    layout()->activate();
    if (shown)
        resize(width(), ClosedSize.height() + More->sizeHint().height() + layout()->spacing());
    else
        resize(width(), ClosedSize.height());
}

void TSeekForm::FormShow()
{
    cbType->setCurrentIndex(0);
}

SearchRequest TSeekForm::request() const
{
    SearchRequest r;
    r.pattern = edName->text();
    if (cbType->currentIndex() > 0)
        r.types = cbType->currentText();
    if (!More->isHidden())
        More->read(r);
    return r;
}

bool TSeekForm::typesFromMore() const
{
    return !More->isHidden() && !More->edTypes->text().trimmed().isEmpty();
}

void TSeekForm::btnOkClick()
{
    const SearchRequest asked = request();
    SearchTerms terms;
    if (const QString why = asked.terms(terms); !why.isEmpty()) {
        UiSeam::message(why); // the dialog stays, so the field can be put right
        return;
    }
    // The type list's entry as it is, "" (no type) and a comma in it too.
    if (!typesFromMore() && cbType->currentIndex() > 0)
        terms.types = QStringList{cbType->currentText()};
    hide();
    m_browser->setDS(Query);
    Query->close();
    try {
        Query->search(terms, asked.under);
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
        return;
    }
    m_browser->openDataSet(Query);
    if (m_settings) {
        SavedSearches(*m_settings).remember(asked);
        listSearches();
    }
}

void TSeekForm::choose(const SearchRequest &r)
{
    edName->setText(r.pattern);
    cbType->setCurrentIndex(0);
    More->show(r);
}

void TSeekForm::save(const QString &name)
{
    if (!m_settings)
        return;
    if (!SavedSearches(*m_settings).save(name, request())) {
        UiSeam::message(QStringLiteral("A search's name cannot be empty, start or end with a space, or hold = [ ] ;"));
        return;
    }
    // At once: harvex-cli find --saved reads the file.
    if (!m_settings->save())
        UiSeam::message(QStringLiteral("Cannot write the settings file %1").arg(m_settings->path()));
    listSearches();
}

void TSeekForm::listSearches()
{
    if (!m_settings)
        return;
    const SavedSearches kept(*m_settings);
    QList<std::pair<QString, SearchRequest>> saved;
    for (const QString &name : kept.names())
        saved.append({name, *kept.saved(name)});
    More->setSearches(saved, kept.recent());
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
