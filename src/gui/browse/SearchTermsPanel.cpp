#include "SearchTermsPanel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

Q_DECLARE_METATYPE(SearchRequest)

namespace {
QLineEdit *field(QWidget *parent, const QString &placeholder)
{
    auto *e = new QLineEdit(parent);
    e->setPlaceholderText(placeholder);
    return e;
}
} // namespace

SearchTermsPanel::SearchTermsPanel(QWidget *parent)
    : QWidget(parent)
    , cbRegex(new QCheckBox(QStringLiteral("The name is a regular e&xpression"), this))
    , edTypes(field(this, QStringLiteral("iso,img")))
    , edMinSize(field(this, QStringLiteral("700M")))
    , edMaxSize(field(this, QStringLiteral("5G")))
    , edNewer(field(this, QStringLiteral("2024-01-01")))
    , edOlder(field(this, QStringLiteral("30d")))
    , edHost(field(this, QStringLiteral("ftp.example.org or ftp.%")))
    , edUnder(field(this, QStringLiteral("host/pub/linux")))
    , cbKind(new QComboBox(this))
    , cbSearches(new QComboBox(this))
    , edSaveName(field(this, QStringLiteral("a name")))
    , btnSave(new QPushButton(QStringLiteral("&Save"), this))
{
    cbKind->addItems({QStringLiteral("Files and folders"), QStringLiteral("Files only"), QStringLiteral("Folders only")});
    // Sizes take K, M, G, T of 1024; times a date or an age before now.
    edMinSize->setToolTip(QStringLiteral("Bytes, or with K, M, G, T (of 1024)"));
    edNewer->setToolTip(QStringLiteral("A date (2024-01-31, UTC) or an age (90min, 12h, 30d, 2w)"));
    edOlder->setToolTip(edNewer->toolTip());
    addRows();
    connect(cbSearches, &QComboBox::activated, this, [this](int index) {
        const QVariant v = cbSearches->itemData(index);
        if (v.isValid())
            emit searchChosen(v.value<SearchRequest>());
    });
    connect(btnSave, &QPushButton::clicked, this, [this] { emit saveAsked(edSaveName->text()); });
}

QWidget *SearchTermsPanel::pair(QLineEdit *from, QLineEdit *to)
{
    auto *w = new QWidget(this);
    auto *row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(from);
    row->addWidget(new QLabel(QStringLiteral("to"), w));
    row->addWidget(to);
    return w;
}

void SearchTermsPanel::addRows()
{
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(cbRegex);
    form->addRow(QStringLiteral("Typ&es"), edTypes);
    form->addRow(QStringLiteral("Si&ze"), pair(edMinSize, edMaxSize));
    form->addRow(QStringLiteral("&Listed"), pair(edNewer, edOlder));
    form->addRow(QStringLiteral("&Host"), edHost);
    form->addRow(QStringLiteral("&Under"), edUnder);
    form->addRow(QStringLiteral("Sho&w"), cbKind);
    form->addRow(QStringLiteral("&Kept searches"), cbSearches);
    auto *save = new QWidget(this);
    auto *row = new QHBoxLayout(save);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edSaveName, 1);
    row->addWidget(btnSave);
    form->addRow(QStringLiteral("Save &as"), save);
}

void SearchTermsPanel::read(SearchRequest &r) const
{
    r.regex = cbRegex->isChecked();
    if (!edTypes->text().trimmed().isEmpty())
        r.types = edTypes->text().trimmed();
    r.minSize = edMinSize->text().trimmed();
    r.maxSize = edMaxSize->text().trimmed();
    r.newer = edNewer->text().trimmed();
    r.older = edOlder->text().trimmed();
    r.host = edHost->text().trimmed();
    r.under = edUnder->text().trimmed();
    r.kind = SearchTerms::Kind(cbKind->currentIndex());
}

void SearchTermsPanel::show(const SearchRequest &r)
{
    cbRegex->setChecked(r.regex);
    edTypes->setText(r.types);
    edMinSize->setText(r.minSize);
    edMaxSize->setText(r.maxSize);
    edNewer->setText(r.newer);
    edOlder->setText(r.older);
    edHost->setText(r.host);
    edUnder->setText(r.under);
    cbKind->setCurrentIndex(int(r.kind));
}

void SearchTermsPanel::setSearches(const QList<std::pair<QString, SearchRequest>> &saved, const QList<SearchRequest> &recent)
{
    cbSearches->clear();
    for (const auto &[name, request] : saved)
        cbSearches->addItem(name + QStringLiteral(": ") + request.label(), QVariant::fromValue(request));
    for (const SearchRequest &request : recent)
        cbSearches->addItem(request.label(), QVariant::fromValue(request));
}
