#include "TSelHost.h"
#include "core/base/IniFile.h"
#include "core/catalogue/HostHistory.h"
#include "widgets/OkCancelRow.h"
#include "widgets/TCoolBtn.h"

#include <QCoreApplication>
#include <QEvent>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>

TSelHost::TSelHost(QWidget *mainWindow)
    : DialogWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("Select FTP Host"));
    resize(309, 118);
    auto *grid = new QGridLayout(this);
    Label2 = new QLabel(QStringLiteral("&Host Name"), this);
    Label4 = new QLabel(QStringLiteral("ftp://"), this);
    QFont bold = Label4->font();
    bold.setBold(true);
    Label4->setFont(bold);
    cbHost = new QComboBox(this);
    cbHost->setEditable(true);
    cbHost->setFont(bold);
    cbHost->setInsertPolicy(QComboBox::NoInsert);
    cbHost->lineEdit()->installEventFilter(this);
    Label1 = new QLabel(QStringLiteral("&User Name"), this);
    edName = new QLineEdit(this);
    Label5 = new QLabel(QStringLiteral("User &Password"), this);
    edPsw = new QLineEdit(this);
    // Hidden while typed, for safety; the toggle shows it on request.
    edPsw->setEchoMode(QLineEdit::Password);
    cbShowPsw = new QCheckBox(QStringLiteral("sho&w"), this);
    cbShowPsw->setToolTip(QStringLiteral("Show the password"));
    connect(cbShowPsw, &QCheckBox::toggled, this,
            [this](bool on) { edPsw->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    Label2->setBuddy(cbHost);
    Label1->setBuddy(edName);
    Label5->setBuddy(edPsw);
    QFont okFont = font();
    okFont.setBold(true);
    okFont.setPixelSize(9);
    auto *buttons = new OkCancelRow(this, okFont);
    btnOk = buttons->ok;
    btnCancel = buttons->cancel;
    btnOk->setFontColor(Qt::blue);
    btnCancel->setFontColor(Qt::blue);
    auto *password = new QHBoxLayout;
    password->addWidget(edPsw, 1);
    password->addWidget(cbShowPsw);
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(Label4, 0, 1);
    grid->addWidget(cbHost, 0, 2);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(edName, 1, 2);
    grid->addWidget(Label5, 2, 0);
    grid->addLayout(password, 2, 2);
    grid->addLayout(buttons, 3, 0, 1, 3, Qt::AlignBottom);
    connect(btnOk, &QPushButton::clicked, this, &TSelHost::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TSelHost::cancel);
}

void TSelHost::btnOkClick()
{
    hide();
    emit hostConfirmed(cbHost->currentText());
}

// What Cancel puts back.
void TSelHost::FormShow()
{
    m_shown = {cbHost->currentText(), edName->text(), edPsw->text()};
}

void TSelHost::cancel()
{
    cbHost->setEditText(m_shown.host);
    edName->setText(m_shown.user);
    edPsw->setText(m_shown.password);
    hide();
}

QString TSelHost::CurrentHost()
{
    if (!mainWindow() || !mainWindow()->isVisible())
        return QString();
    if (cbHost->currentText().isEmpty())
        AskForHost();
    return cbHost->currentText();
}

void TSelHost::AskForHost()
{
    show();
    raise();
    while (isVisible())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool TSelHost::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == cbHost->lineEdit() && e->type() == QEvent::FocusOut)
        cbExit();
    return DialogWindow::eventFilter(watched, e);
}

// The most recent host goes on top only when typed anew; choosing an
// existing entry does not move it.
void TSelHost::cbExit()
{
    const QString text = cbHost->currentText();
    if (cbHost->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    cbHost->insertItem(0, text);
    cbHost->setCurrentIndex(0);
}

QStringList TSelHost::history() const
{
    QStringList h;
    for (int i = 0; i < cbHost->count(); ++i)
        h << cbHost->itemText(i);
    return h;
}

void TSelHost::markReached(const QString &host)
{
    if (host.isEmpty())
        return;
    m_kept.insert(host);
    if (cbHost->findText(host, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        cbHost->insertItem(0, host);
}

void TSelHost::LoadHostHistory(IniFile *settings)
{
    if (!settings)
        return;
    const QStringList hosts = HostHistory(*settings).load();
    cbHost->addItems(hosts);
    m_kept = QSet<QString>(hosts.cbegin(), hosts.cend());
    cbHost->setCurrentIndex(hosts.isEmpty() ? -1 : 0);
}

void TSelHost::SaveHostHistory(IniFile *settings)
{
    if (!settings)
        return;
    QStringList kept;
    for (const QString &host : history())
        if (host.isEmpty() || m_kept.contains(host))
            kept << host;
    HostHistory(*settings).save(kept);
}
