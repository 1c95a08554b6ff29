#include "HostOptionsPage.h"
#include "core/catalogue/CatalogueError.h"
#include "core/ftp/CertificateFingerprint.h"
#include "core/scan/ScanOptionsDraft.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
constexpr int PinLine = 16 * 3; // "AB:" per byte
// The code pages FTP servers are met with; any other name Qt knows can be typed.
const char *const CodePages[] = {"latin1", "cp1251", "koi8-r", "cp866", "cp1252", "cp1250", "iso-8859-2",
                                 "iso-8859-5", "shift_jis", "euc-jp", "gbk", "big5", "euc-kr"};

QComboBox *tlsChoice(QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->addItem(QStringLiteral("TLS when offered, else plain FTP"), int(FtpLogon::Tls::Try));
    c->addItem(QStringLiteral("TLS required"), int(FtpLogon::Tls::Require));
    c->addItem(QStringLiteral("Plain FTP"), int(FtpLogon::Tls::Off));
    c->addItem(QStringLiteral("Implicit TLS (from the first byte)"), int(FtpLogon::Tls::Implicit));
    return c;
}
} // namespace

HostOptionsPage::HostOptionsPage(Catalogue &catalogue, QWidget *parent)
    : QWidget(parent)
    , m_catalogue(catalogue)
{
    auto *form = new QFormLayout(this);
    cbHost = new QComboBox(this);
    cbHost->setEditable(true);
    cbHost->setInsertPolicy(QComboBox::NoInsert);
    cbTls = tlsChoice(this);
    laPin = new QLabel(this);
    laPin->setTextInteractionFlags(Qt::TextSelectableByMouse);
    laPin->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    btnForget = new QPushButton(QStringLiteral("&Forget"), this);
    btnForget->setToolTip(QStringLiteral("The next log-on asks about the certificate again"));
    cbCodePage = new QComboBox(this);
    cbCodePage->setEditable(true);
    cbCodePage->setInsertPolicy(QComboBox::NoInsert);
    for (const char *name : CodePages)
        cbCodePage->addItem(QString::fromLatin1(name));
    laPreview = new QLabel(this);
    laPreview->setWordWrap(true);
    lbPreview = new QListWidget(this);
    auto *pin = new QHBoxLayout;
    pin->addStretch(1);
    pin->addWidget(btnForget);
    form->addRow(QStringLiteral("&Host"), cbHost);
    form->addRow(QStringLiteral("&TLS"), cbTls);
    form->addRow(QStringLiteral("Pinned certificate"), pin);
    form->addRow(laPin);
    form->addRow(QStringLiteral("Code &page"), cbCodePage);
    form->addRow(laPreview);
    form->addRow(lbPreview);
    connect(cbHost, &QComboBox::currentTextChanged, this, &HostOptionsPage::hostChosen);
    connect(cbCodePage, &QComboBox::currentTextChanged, this, &HostOptionsPage::showPreview);
    connect(btnForget, &QPushButton::clicked, this, &HostOptionsPage::forgetPin);
}

void HostOptionsPage::start(ScanOptionsDraft *draft, const QStringList &hosts)
{
    m_draft = draft;
    m_host.clear();
    const QSignalBlocker quiet(cbHost);
    cbHost->clear();
    cbHost->addItems(hosts);
    cbHost->setCurrentIndex(hosts.isEmpty() ? -1 : 0);
    hostChosen(cbHost->currentText());
}

void HostOptionsPage::keep()
{
    if (!m_draft || m_host.isEmpty())
        return;
    ScanOptions::Host h = m_draft->host(m_host);
    h.tls = FtpLogon::Tls(cbTls->currentData().toInt());
    h.codePage = cbCodePage->currentText().trimmed().toLatin1();
    m_draft->setHost(m_host, h);
}

// Every keystroke in the host's name lands here: what was shown is kept
// for the host it belonged to before the next one is shown.
void HostOptionsPage::hostChosen(const QString &hostText)
{
    keep();
    m_host = ScanOptions::hostKey(hostText);
    showHost();
}

void HostOptionsPage::showHost()
{
    const bool any = m_draft && !m_host.isEmpty();
    for (QWidget *w : std::initializer_list<QWidget *>{cbTls, cbCodePage, lbPreview})
        w->setEnabled(any);
    const ScanOptions::Host h = any ? m_draft->host(m_host) : ScanOptions::Host();
    cbTls->setCurrentIndex(qMax(0, cbTls->findData(int(h.tls))));
    readPreview();
    const QSignalBlocker quiet(cbCodePage);
    cbCodePage->setEditText(QString::fromLatin1(h.codePage));
    showPreview();
    showPin();
}

void HostOptionsPage::readPreview()
{
    m_previewError.clear();
    m_preview = CodePagePreview();
    if (m_host.isEmpty())
        return;
    try {
        m_preview = CodePagePreview(m_catalogue, m_host);
    } catch (const CatalogueError &e) {
        m_previewError = e.message();
    }
}

void HostOptionsPage::showPin()
{
    const QByteArray sha = m_draft && !m_host.isEmpty() ? m_draft->host(m_host).pinnedSha256 : QByteArray();
    // 95 characters do not fit the dialog's width: two lines of 16 bytes.
    const QString text = CertificateFingerprint::text(sha);
    laPin->setText(sha.isEmpty() ? QStringLiteral("None") : text.left(PinLine) + u'\n' + text.mid(PinLine));
    btnForget->setEnabled(!sha.isEmpty());
}

void HostOptionsPage::showPreview()
{
    const QByteArray codePage = cbCodePage->currentText().trimmed().toLatin1();
    laPreview->setText(previewCaption(codePage));
    lbPreview->clear();
    lbPreview->addItems(m_preview.decoded(codePage));
}

QString HostOptionsPage::previewCaption(const QByteArray &codePage) const
{
    if (m_host.isEmpty())
        return QStringLiteral("Name a host to set its code page");
    if (!m_previewError.isEmpty())
        return m_previewError;
    if (!CodePagePreview::isKnown(codePage))
        return QStringLiteral("Unknown code page: %1").arg(QString::fromLatin1(codePage));
    if (m_preview.isEmpty())
        return QStringLiteral("No stored name of %1 needs a code page").arg(m_host);
    return QStringLiteral("Stored names of %1 as %2 reads them:").arg(m_host, QString::fromLatin1(codePage));
}

void HostOptionsPage::forgetPin()
{
    if (!m_draft || m_host.isEmpty())
        return;
    m_draft->forget(m_host);
    showPin();
}
