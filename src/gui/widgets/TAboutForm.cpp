#include "TAboutForm.h"
#include "TCoolBtn.h"
#include "THLabel.h"
#include "TSPanel.h"
#include "UiSeam.h"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

static void initResources()
{
    // The picture lives in the GUI library's resources; a static library
    // must register them itself.
    Q_INIT_RESOURCE(harvex);
}

TAboutForm::TAboutForm(QWidget *mainWindow)
    : DialogWindow(mainWindow, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    initResources();
    setWindowTitle(QString::fromUtf8("О программе"));
    setGeometry(200, 103, FormWidth, FormHeight);
    buildLayout();
    pa->setAutoFillBackground(true);
    QPalette pp = pa->palette();
    pp.setColor(QPalette::Window, toQColor(DesignColor));
    pa->setPalette(pp);
    PanelColor = DesignColor;
    const QImage picture(QStringLiteral(":/about.bmp"));
    const QRgb key = picture.pixel(0, 0);
    setColor(rgbColor(qRed(key), qGreen(key), qBlue(key)));
    PanelRect = QRect(QPoint(sh_Left, 0), QPoint(width() - 1, height() - 1));
    ComposeBackdrop(PanelRect);
    drawPicture(picture);
    buildOutline();
}

// The picture goes on the backdrop with its bottom-left colour transparent.
void TAboutForm::drawPicture(const QImage &picture)
{
    const QRgb transparent = picture.pixel(0, picture.height() - 1);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != transparent)
                m_backdrop.setPixel(img->x() + x, img->y() + y, picture.pixel(x, y));
}

// The backdrop's non-key pixels plus the rectangles of the window's own
// children; the panel's rectangle covers its children.
void TAboutForm::buildOutline()
{
    m_region = BitmapToRegion(m_backdrop);
    for (QWidget *child : {static_cast<QWidget *>(laAbout), static_cast<QWidget *>(Label4),
                           static_cast<QWidget *>(btnClose), static_cast<QWidget *>(pa)})
        m_region += child->geometry();
    setMask(m_region);
}

QLabel *TAboutForm::makeLabel(QWidget *parent, const QString &text, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    // Labels have no window of their own: a press on them drags the form.
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(255, 255, 0));
    l->setPalette(p);
    return l;
}

void TAboutForm::buildLayout()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    img = new QLabel(this);
    // The picture shows with its bottom-left colour transparent, over the frame too.
    QPixmap picture(QStringLiteral(":/about.bmp"));
    const QImage pictureImage = picture.toImage();
    if (!pictureImage.isNull())
        picture.setMask(QBitmap::fromImage(pictureImage.createMaskFromColor(
            pictureImage.pixel(0, pictureImage.height() - 1), Qt::MaskInColor)));
    img->setPixmap(picture);
    img->setGeometry(2, 120, 350, 274);
    img->setAttribute(Qt::WA_TransparentForMouseEvents);
    laAbout = makeLabel(this, QStringLiteral("-  -  - "), 235, 150);
    laAbout->setWordWrap(true);
    laAbout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    laAbout->setGeometry(235, 150, 171, 161);
    Label4 = makeLabel(this, QString::fromUtf8("Описание :"), 160, 150);
    btnClose = new TCoolBtn(this);
    btnClose->setText(QString::fromUtf8("Закрыть"));
    btnClose->setGeometry(295, 318, 105, 22);
    QFont bf(QStringLiteral("Microsoft Sans Serif"));
    bf.setPixelSize(9);
    bf.setBold(true);
    btnClose->setFont(bf);
    btnClose->setFontColor(QColor(0, 0, 255));
    connect(btnClose, &QPushButton::clicked, this, &TAboutForm::btnCloseClick);
    pa = new TSPanel(this);
    pa->setGeometry(140, 35, 266, 96);
    HLabel1 = new THLabel(pa);
    HLabel1->setText(QStringLiteral("Harvex authors"));
    HLabel1->setGeometry(104, 39, 111, 17);
    HLabel1->setAlignment(Qt::AlignCenter);
    HLabel1->setCursor(Qt::PointingHandCursor);
    HLabel1->setColorHi(0xFF0000);
    connect(HLabel1, &THLabel::clicked, this, &TAboutForm::HLabel1Click);
    connect(HLabel1, &THLabel::doubleClicked, this, &TAboutForm::HLabel1Click);
    Label3 = makeLabel(pa, QString::fromUtf8("Автор :"), 20, 42);
    Label1 = makeLabel(pa, QString::fromUtf8("Название :"), 20, 20);
    laName = makeLabel(pa, QStringLiteral("-  -  -"), 107, 20);
    Label2 = makeLabel(pa, QString::fromUtf8("Дата :"), 20, 63);
    laDate = makeLabel(pa, QStringLiteral("-  -  -"), 105, 63);
    QPalette hp = HLabel1->palette();
    hp.setColor(QPalette::WindowText, QColor(255, 255, 0));
    HLabel1->setPalette(hp);
}

void TAboutForm::setColor(TColor c)
{
    m_color = c;
    m_keyRed = c & 0xFF;
    m_keyGreen = (c >> 8) & 0xFF;
    m_keyBlue = (c >> 16) & 0xFF;
}

QString TAboutForm::AppText() const { return laAbout->text(); }
void TAboutForm::setAppText(const QString &t) { laAbout->setText(t); }
QString TAboutForm::AppName() const { return laName->text(); }
void TAboutForm::setAppName(const QString &t) { laName->setText(t); laName->adjustSize(); }
QString TAboutForm::AppDate() const { return laDate->text(); }
void TAboutForm::setAppDate(const QString &t) { laDate->setText(t); laDate->adjustSize(); }

void TAboutForm::ComposeBackdrop(const QRect &r)
{
    m_backdrop = QImage(r.right() + 1, r.bottom() + 1, QImage::Format_RGB888);
    m_backdrop.fill(toQColor(m_color));
    QPainter p(&m_backdrop);
    p.setBrush(toQColor(Col_1));
    p.setPen(QPen(Qt::black, 1));
    p.drawRoundedRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1), CornerSize / 2.0, CornerSize / 2.0);
}

bool TAboutForm::IsKeyPixel(const QImage &img, int x, int y) const
{
    const QRgb c = img.pixel(x, y);
    return qRed(c) == m_keyRed && qGreen(c) == m_keyGreen && qBlue(c) == m_keyBlue;
}

// Every pixel that differs from the key colour in any channel; built from a
// mask in one pass rather than a region per pixel, with the same pixel set.
QRegion TAboutForm::BitmapToRegion(const QImage &b) const
{
    const QImage rgb = b.convertToFormat(QImage::Format_RGB32);
    // QRegion takes a bitmap's clear pixels; marking the key colour leaves
    // every other pixel clear, and so in the region.
    const QImage mask = rgb.createMaskFromColor(qRgb(m_keyRed, m_keyGreen, m_keyBlue), Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(mask));
}

void TAboutForm::DrawFrame(QImage &surface, const QRect &r, int w) const
{
    QPainter p(&surface);
    auto ring = [&](int k, TColor pen) {
        p.setPen(toQColor(pen));
        p.drawRect(QRect(QPoint(r.left() + k, r.top() + k), QPoint(r.right() - k, r.bottom() - k)));
    };
    const int s = sh_Col;
    p.setBrush(Qt::NoBrush);
    // sh_Col below 1 would divide by zero in the blend: no gradient rings then.
    if (s >= 1) {
        for (int k = 0; k <= s; ++k)
            ring(k, BlendColor(Col_1, Col_2, quint32(k), quint32(s)));
    }
    if (w - s >= s)
        for (int k = s; k <= w - s; ++k)
            ring(k, Col_2);
    TColor last = Col_2;
    if (s >= 1) {
        for (int k = w - s; k <= w; ++k)
            ring(k, last = BlendColor(Col_2, Col_1, quint32(k - (w - s)), quint32(s)));
    }
    p.setBrush(toQColor(PanelColor));
    p.setPen(toQColor(last));
    p.drawRect(QRect(QPoint(r.left() + w + 1, r.top() + w + 1), QPoint(r.right() - w - 1, r.bottom() - w - 1)));
}

QImage TAboutForm::RenderSurface() const
{
    QImage surface = m_backdrop.convertToFormat(QImage::Format_RGB32);
    DrawFrame(surface, PanelRect, FrameWidth);
    return surface;
}

void TAboutForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, RenderSurface());
}

// A press anywhere on the window's own surface drags it, as a caption would.
// The name panel is a control of its own: a press there passed on to the
// window (the panel does not take it) must not drag.
void TAboutForm::mousePressEvent(QMouseEvent *e)
{
    m_dragging = !pa->geometry().contains(e->position().toPoint());
    m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TAboutForm::mouseMoveEvent(QMouseEvent *e)
{
    if (m_dragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragOffset);
}

void TAboutForm::btnCloseClick()
{
    hide();
}

void TAboutForm::HLabel1Click()
{
    UiSeam::openUrl(QUrl(MailAddress()));
}
