#include "TChangesForm.h"
#include "ChangesModel.h"
#include "core/catalogue/CatalogueError.h"
#include "widgets/UiSeam.h"
#include "widgets/ValueText.h"

#include <QHeaderView>
#include <QVBoxLayout>

TChangesForm::TChangesForm(Catalogue &catalogue, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_catalogue(catalogue)
    , m_model(new ChangesModel(this))
{
    setWindowTitle(QStringLiteral("Changes"));
    resize(620, 360);
    auto *layout = new QVBoxLayout(this);
    laSummary = new QLabel(this);
    laSummary->setTextFormat(Qt::PlainText);
    grid = new QTableView(this);
    grid->setModel(m_model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(laSummary);
    layout->addWidget(grid, 1);
}

void TChangesForm::showHost(const QString &host, const QByteArray &codePage)
{
    m_host = host;
    setWindowTitle(QStringLiteral("Changes - ") + host);
    try {
        m_model->load(m_catalogue, host, codePage);
    } catch (const CatalogueError &e) {
        UiSeam::message(e.message());
    }
    laSummary->setText(summary());
    grid->resizeColumnsToContents();
    show();
    raise();
    activateWindow();
}

QString TChangesForm::summary() const
{
    const ChangeReport &r = m_model->report();
    QString text = QStringLiteral("Last scan of %1: %2 added, %3 changed, %4 removed")
                       .arg(m_host, ValueText::count(r.count(ScanChanges::Kind::Added)),
                            ValueText::count(r.count(ScanChanges::Kind::Changed)),
                            ValueText::count(r.count(ScanChanges::Kind::Removed)));
    if (r.lines().size() < r.total())
        text += QStringLiteral(" (the first %1 shown)").arg(ValueText::count(r.lines().size()));
    return text;
}
