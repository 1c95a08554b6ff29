#include "TScanForm.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "widgets/TCoolBtn.h"

#include <QFrame>
#include <algorithm>

TScanForm::TScanForm(ActivityLog &log, ElapsedCounter &timeScan, QWidget *parent)
    : QWidget(parent)
    , m_log(log)
    , m_timeScan(timeScan)
{
    setWindowTitle(QStringLiteral("Scanning FTP Host"));
    setAutoFillBackground(true);
    resize(245, 202);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    pb = new QProgressBar(this);
    pb->setOrientation(Qt::Vertical);
    pb->setRange(0, 100);
    pb->setValue(50);
    pb->setTextVisible(false);
    pb->setGeometry(1, 0, 11, 201);
    Label5 = label(QStringLiteral("Saning in progress ..."), 15, 10);
    auto *bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(15, 40, 221, 121);
    bevel->lower();
    Label1 = label(QStringLiteral("Host Name"), 30, 55);
    laHost = label(QString(), 102, 55);
    laHost->setFixedSize(120, 13);
    Label2 = label(QStringLiteral("User"), 30, 80);
    laUser = label(QString(), 102, 80);
    laUser->setFixedSize(120, 13);
    Label3 = label(QStringLiteral("Found Directory Count"), 30, 105);
    laDir = label(QString(), 152, 105);
    laDir->setFixedSize(70, 13);
    laDir->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4 = label(QStringLiteral("Total Record Found"), 30, 130);
    laRec = label(QString(), 152, 130);
    laRec->setFixedSize(70, 13);
    laRec->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    btnCancel = new TCoolBtn(this);
    btnCancel->setText(QStringLiteral("Cancel"));
    btnCancel->setGeometry(158, 173, 75, 21);
    connect(btnCancel, &QPushButton::clicked, this, &TScanForm::btnCancelClick);
}

QLabel *TScanForm::label(const QString &text, int x, int y)
{
    auto *l = new QLabel(text, this);
    l->move(x, y);
    l->adjustSize();
    return l;
}

void TScanForm::resizeEvent(QResizeEvent *)
{
    pb->setGeometry(1, 0, 11, height() - 1);
    btnCancel->move(width() - 245 + 158, height() - 202 + 173);
}

// The bar shows values above its maximum as full; the position itself is kept.
void TScanForm::setProgress(qint64 position)
{
    m_position = position;
    pb->setValue(int(std::clamp<qint64>(position, pb->minimum(), pb->maximum())));
}

void TScanForm::setCounts(int directories, qint64 records)
{
    laDir->setText(QString::number(directories));
    laRec->setText(QString::number(records));
}

void TScanForm::beginScan(const QString &host, const QString &user)
{
    m_host = host;
    laHost->setText(host);
    laUser->setText(user);
    laDir->setText(QStringLiteral("0"));
    laRec->setText(QStringLiteral("0"));
    m_scanning = true;
    show();
    raise();
}

void TScanForm::endScan()
{
    m_ending = true;
    hide();
    m_ending = false;
    m_scanning = false;
    if (m_stepsShown) {
        m_stepsShown = false;
        FormHide();
    }
}

void TScanForm::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (!visible && m_scanning && !m_ending)
        emit cancelRequested();
}

void TScanForm::FormShow()
{
    m_stepsShown = true;
    m_log.LogLine(QStringLiteral("   Scanning of Host ") + m_host + QStringLiteral(" started:"), true);
    m_timeScan.start();
}

void TScanForm::FormHide()
{
    m_log.LogLine(QStringLiteral("   Scanning complete. Scan time:") + ElapsedCounter::ElapsedText(m_timeScan.tag()),
                  false);
    m_timeScan.stop();
}
