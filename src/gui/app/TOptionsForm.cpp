#include "TOptionsForm.h"
#include "HostOptionsPage.h"
#include "ScanOptionsPage.h"
#include "core/base/IniFile.h"
#include "core/catalogue/CatalogueError.h"
#include "core/catalogue/ExactNames.h"
#include "widgets/OkCancelRow.h"
#include "widgets/TCoolBtn.h"
#include "widgets/UiSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

TOptionsForm::TOptionsForm(Catalogue &catalogue, QWidget *mainWindow)
    : DialogWindow(mainWindow)
    , m_catalogue(catalogue)
{
    setWindowTitle(QStringLiteral("Options"));
    resize(420, 380);
    Pages = new QTabWidget(this);
    ScanPage = new ScanOptionsPage(Pages);
    HostPage = new HostOptionsPage(catalogue, Pages);
    Pages->addTab(ScanPage, QStringLiteral("&Scan"));
    Pages->addTab(HostPage, QStringLiteral("H&osts"));
    QFont buttonFont = font();
    buttonFont.setPixelSize(9);
    auto *buttons = new OkCancelRow(this, buttonFont);
    btnOk = buttons->ok;
    btnCancel = buttons->cancel;
    auto *v = new QVBoxLayout(this);
    v->addWidget(Pages, 1);
    v->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &TOptionsForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TOptionsForm::cancel);
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::setSettings(IniFile *settings, std::function<QStringList()> hosts)
{
    m_settings = settings;
    m_hosts = std::move(hosts);
    m_options = settings ? std::make_unique<ScanOptions>(*settings) : nullptr;
}

QWidget *TOptionsForm::firstField() const
{
    return Pages->currentWidget() == HostPage ? static_cast<QWidget *>(HostPage->cbHost) : ScanPage->cbPassive;
}

// What harvex-cli saved since (a pin, a code page) is shown, not overwritten.
void TOptionsForm::FormShow()
{
    if (!m_options)
        return;
    m_settings->reload();
    m_draft.load(*m_options);
    ScanPage->showValues(m_draft.program());
    QStringList offered = m_hosts ? m_hosts() : QStringList();
    try {
        offered += ExactNames::notedHosts(m_catalogue);
    } catch (const CatalogueError &) {
        // A catalogue that cannot be read offers no hosts; the preview says why.
    }
    HostPage->start(&m_draft, m_options->hosts(offered));
}

void TOptionsForm::btnOkClick()
{
    if (!m_options) {
        hide();
        return;
    }
    HostPage->keep();
    m_draft.setProgram(ScanPage->values());
    const bool recode = !m_draft.apply(*m_options).isEmpty();
    if (!m_settings->save()) {
        UiSeam::message(QStringLiteral("Cannot write the settings file %1").arg(m_settings->path()));
        return;
    }
    hide();
    if (recode)
        emit codePagesChanged();
}
