#include "TScanForm.h"
#include "core/base/ActivityLog.h"
#include "core/base/ElapsedCounter.h"
#include "widgets/TCoolBtn.h"

#include <QFrame>
#include <QLocale>
#include <QTimer>
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
    laStored = label(QString(), 15, 166);
    laRate = label(QString(), 15, 181);
    laFolder = label(QString(), 15, 196);
    laFolder->setTextFormat(Qt::PlainText);
    m_refresh = new QTimer(this);
    m_refresh->setInterval(RefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &TScanForm::refreshProgress);
    btnCancel = button(QStringLiteral("&Cancel"), 158);
    connect(btnCancel, &QPushButton::clicked, this, &TScanForm::btnCancelClick);
    btnResume = button(QStringLiteral("&Resume"), 15);
    connect(btnResume, &QPushButton::clicked, this, [this] { choose(true); });
    btnStartOver = button(QStringLiteral("&Start over"), 86);
    connect(btnStartOver, &QPushButton::clicked, this, [this] { choose(false); });
    btnResume->hide();
    btnStartOver->hide();
}

TCoolBtn *TScanForm::button(const QString &text, int x)
{
    auto *b = new TCoolBtn(this);
    b->setText(text);
    QFont buttonFont = b->font();
    buttonFont.setPixelSize(9);
    b->setFont(buttonFont);
    b->setGeometry(x, 173, x == 158 ? 75 : 68, 21);
    return b;
}

void TScanForm::offerResume(const QString &host, const QString &user, qint64 folders)
{
    laHost->setText(host);
    laUser->setText(user);
    Label5->setText(QStringLiteral("The last scan was cut short:\n%1 folders are left to list").arg(folders));
    Label5->adjustSize();
    laStored->clear();
    laRate->clear();
    laFolder->clear();
    btnResume->show();
    btnStartOver->show();
    show();
    raise();
    btnResume->setFocus();
}

void TScanForm::choose(bool resume)
{
    btnResume->hide();
    btnStartOver->hide();
    Label5->setText(QStringLiteral("Saning in progress ..."));
    Label5->adjustSize();
    emit resumeChosen(resume);
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
    btnResume->move(15, btnCancel->y());
    btnStartOver->move(86, btnCancel->y());
    placeProgressLabels();
}

// Under the box, as wide as the panel allows; a line level with Cancel
// stops short of it.
void TScanForm::placeProgressLabels()
{
    for (QLabel *l : {laStored, laRate, laFolder}) {
        const bool besideCancel = l->y() + l->height() > btnCancel->y();
        l->resize(qMax(0, (besideCancel ? btnCancel->x() - 6 : width() - 10) - l->x()), l->height());
    }
}

void TScanForm::refreshProgress()
{
    if (!m_stepsShown) {
        laFolder->setText(folderLine());
        laFolder->setToolTip(laFolder->text());
        return;
    }
    const QLocale locale;
    const qint64 stored = m_recordsAtStart < 0 ? 0 : m_records - m_recordsAtStart;
    laStored->setText(QStringLiteral("Stored: %1 entries, %2 folders listed")
                          .arg(locale.toString(stored), locale.toString(m_directories)));
    const double seconds = m_sinceStart.isValid() ? m_sinceStart.elapsed() / 1000.0 : 0;
    laRate->setText(seconds > 0.5 ? QStringLiteral("Rate: %1 entries/s, %2 folders/s")
                                        .arg(locale.toString(qRound64(stored / seconds)),
                                             locale.toString(m_directories / seconds, 'f', 1))
                                  : QStringLiteral("Rate: -"));
    const QString line = folderLine();
    laFolder->setText(laFolder->fontMetrics().elidedText(line, Qt::ElideMiddle, laFolder->width()));
    laFolder->setToolTip(line);
}

// A stalled server shows as the wait it is, counted in whole seconds.
QString TScanForm::folderLine() const
{
    const qint64 quiet = m_sinceNews.isValid() ? m_sinceNews.elapsed() : 0;
    const bool stalled = quiet >= StallMs && m_scanning;
    const QString seconds = QLocale().toString(quiet / 1000);
    if (!m_stepsShown)
        return stalled ? QStringLiteral("Waiting for the log-on: %1 s").arg(seconds) : QString();
    if (!stalled)
        return QStringLiteral("Listing: ") + m_folder;
    if (m_folder.isEmpty())
        return QStringLiteral("Waiting for the first listing: %1 s").arg(seconds);
    return QStringLiteral("Waiting for the listing of %1: %2 s").arg(m_folder, seconds);
}

void TScanForm::setCurrentFolder(const QString &path)
{
    if (path != m_folder)
        m_sinceNews.restart();
    m_folder = path;
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
    if (directories != m_directories || records != m_records)
        m_sinceNews.restart();
    if (m_recordsAtStart < 0)
        m_recordsAtStart = records;
    m_directories = directories;
    m_records = records;
}

void TScanForm::beginScan(const QString &host, const QString &user)
{
    btnResume->hide();
    btnStartOver->hide();
    m_host = host;
    laHost->setText(host);
    laUser->setText(user);
    laDir->setText(QStringLiteral("0"));
    laRec->setText(QStringLiteral("0"));
    m_scanning = true;
    // Before the walk only the folder line moves: a log-on can stall too.
    m_folder.clear();
    laFolder->clear();
    m_sinceNews.start();
    m_refresh->start();
    show();
    raise();
}

void TScanForm::endScan()
{
    m_ending = true;
    hide();
    m_ending = false;
    m_scanning = false;
    m_refresh->stop();
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
    m_recordsAtStart = -1;
    m_directories = 0;
    m_records = 0;
    m_folder.clear();
    m_sinceStart.start();
    m_sinceNews.start();
    refreshProgress();
    m_refresh->start();
    m_log.LogLine(QStringLiteral("   Scanning of Host ") + m_host + QStringLiteral(" started:"), true);
    m_timeScan.start();
}

void TScanForm::FormHide()
{
    m_log.LogLine(QStringLiteral("   Scanning complete. Scan time:") + ElapsedCounter::ElapsedText(m_timeScan.tag()),
                  false);
    m_timeScan.stop();
    m_refresh->stop();
    refreshProgress();
}
