#include "TDupesForm.h"
#include "DuplicatesModel.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/SearchTermText.h"
#include "widgets/UiSeam.h"
#include "widgets/ValueText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

TDupesForm::TDupesForm(Catalogue &catalogue, FolderPaths::CodePageOf codePageOf, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_catalogue(catalogue)
    , m_codePageOf(std::move(codePageOf))
    , m_model(new DuplicatesModel(this))
{
    setWindowTitle(QStringLiteral("Find Duplicates"));
    resize(680, 400);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(optionsRow());
    laSummary = new QLabel(this);
    laSummary->setTextFormat(Qt::PlainText);
    tree = new QTreeView(this);
    tree->setModel(m_model);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->header()->setStretchLastSection(true);
    layout->addWidget(laSummary);
    layout->addWidget(tree, 1);
    connect(btnFind, &QPushButton::clicked, this, &TDupesForm::btnFindClick);
    connect(tree, &QTreeView::doubleClicked, this, &TDupesForm::openCopy);
}

QWidget *TDupesForm::optionsRow()
{
    auto *row = new QWidget(this);
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    cbBy = new QComboBox(row);
    cbBy->addItems({QStringLiteral("Name and size"), QStringLiteral("Size")});
    // Empty files are alike without being copies.
    edMinSize = new QLineEdit(QStringLiteral("1"), row);
    edMinSize->setToolTip(QStringLiteral("Bytes, or with K, M, G, T (of 1024)"));
    edHost = new QLineEdit(row);
    edHost->setPlaceholderText(QStringLiteral("every host"));
    btnFind = new QPushButton(QStringLiteral("&Find"), row);
    btnFind->setDefault(true);
    const auto label = [row](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, row);
        l->setBuddy(buddy);
        return l;
    };
    h->addWidget(label(QStringLiteral("&Alike by"), cbBy));
    h->addWidget(cbBy);
    h->addWidget(label(QStringLiteral("At &least"), edMinSize));
    h->addWidget(edMinSize);
    h->addWidget(label(QStringLiteral("&Host"), edHost));
    h->addWidget(edHost, 1);
    h->addWidget(btnFind);
    return row;
}

void TDupesForm::btnFindClick()
{
    DuplicateSearch::Options options;
    options.key = cbBy->currentIndex() == 1 ? DuplicateSearch::Key::Size : DuplicateSearch::Key::NameAndSize;
    const std::optional<qint64> least = SearchTermText::size(edMinSize->text());
    if (!least) {
        UiSeam::message(QStringLiteral("\"%1\" is no size: give one such as 700M or 5G").arg(edMinSize->text()));
        return;
    }
    options.minSize = qMax<qint64>(1, *least);
    options.host = edHost->text().trimmed();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_model->load(m_catalogue.database(), options, m_codePageOf);
    } catch (const CatalogueError &e) {
        QApplication::restoreOverrideCursor();
        UiSeam::message(e.message());
        return;
    }
    QApplication::restoreOverrideCursor();
    const int groups = m_model->groupCount();
    laSummary->setText(groups == DuplicatesModel::MostGroups
                           ? QStringLiteral("The %1 largest groups of copies").arg(ValueText::count(groups))
                           : QStringLiteral("%1 groups of copies").arg(ValueText::count(groups)));
    tree->expandAll();
    tree->resizeColumnToContents(DuplicatesModel::Name);
    tree->resizeColumnToContents(DuplicatesModel::Size);
}

void TDupesForm::openCopy(const QModelIndex &index)
{
    if (const PathSearch::Hit *copy = m_model->copyAt(index))
        emit folderShown(copy->row.pid);
}
