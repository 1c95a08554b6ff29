#include "TQueryForm.h"
#include "core/catalogue/BrowseQueries.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/CatalogueQueries.h"
#include "core/catalogue/DataSet.h"
#include "TTabForm.h"
#include "widgets/ButtonSlot.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

TQueryForm::TQueryForm(Catalogue &catalogue, QWidget *mainWindow)
    : DialogWindow(mainWindow)
    , m_catalogue(catalogue)
{
    setWindowTitle(QStringLiteral("Query Data Base"));
    resize(321, 210);
    auto *v = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Enter S&QL Query :"), this);
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(16);
    f.setBold(true);
    Label1->setFont(f);
    QPalette lp = Label1->palette();
    lp.setColor(QPalette::WindowText, QColor(0, 102, 204));
    Label1->setPalette(lp);
    Memo1 = new QPlainTextEdit(this);
    Label1->setBuddy(Memo1);
    btnDeafultClick();
    QFont buttonFont = font();
    buttonFont.setPixelSize(9);
    auto makeButton = [this, buttonFont](const QString &caption) {
        auto *b = new TCoolBtn(this);
        b->setText(caption);
        b->setFont(buttonFont);
        return b;
    };
    btnDeafult = makeButton(QStringLiteral("&Deafult"));
    btnDeafult->setColor_N(0xF0CAA6);
    btnDeafult->setColor_H(0xFF4040);
    btnCancel = makeButton(QStringLiteral("&Cancel"));
    btnExec = makeButton(QStringLiteral("&Execute"));
    btnExec->setToolTip(QStringLiteral("Ctrl+Return"));
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    row->addStretch(1);
    for (TCoolBtn *b : {btnDeafult, btnCancel, btnExec})
        row->addWidget(new ButtonSlot(b, QSize(75, 21), this));
    // Return makes a new line in the statement; Ctrl+Return runs it.
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto *run = new QShortcut(keys, this);
        connect(run, &QShortcut::activated, this, &TQueryForm::btnExecClick);
    }
    v->addWidget(Label1);
    v->addWidget(Memo1, 1);
    v->addLayout(row);
    connect(btnDeafult, &QPushButton::clicked, this, &TQueryForm::btnDeafultClick);
    connect(btnCancel, &QPushButton::clicked, this, &TQueryForm::btnCancelClick);
    connect(btnExec, &QPushButton::clicked, this, &TQueryForm::btnExecClick);
}

void TQueryForm::btnDeafultClick()
{
    Memo1->setPlainText(BrowseQueries::allRows());
}

QString TQueryForm::refusedDuringScan()
{
    return QStringLiteral("A scan is running: statements that change the catalogue can run once it has ended");
}

// A statement that does not compile is no write: the grid reports its error.
bool TQueryForm::writesDuringScan(const QString &sql) const
{
    if (!m_scanRunning)
        return false;
    try {
        return !CatalogueQueries(m_catalogue.database()).isReadOnly(sql);
    } catch (const CatalogueError &) {
        return false;
    }
}

void TQueryForm::btnExecClick()
{
    if (writesDuringScan(Memo1->toPlainText())) {
        UiSeam::message(refusedDuringScan());
        return;
    }
    hide();
    m_browser->setDS(m_browser->Query);
    m_browser->Query->close();
    m_browser->Query->setSql(Memo1->toPlainText());
    m_browser->Query->setParams({});
    // A statement that changed the catalogue: the tree and the counts show it.
    if (m_browser->openDataSet(m_browser->Query) && !m_browser->Query->returnsRows())
        m_browser->refreshViews();
}
