#pragma once
#include "BlendColor.h"
#include "DialogWindow.h"

#include <QImage>
#include <QLabel>
#include <QRegion>
#include <QWidget>

class TCoolBtn;
class THLabel;
class TSPanel;

// The widget set's about box: borderless, always on top, shaped as the union
// of its picture's figure and a rounded panel with a ring frame; dragged by
// any point of its own surface.
class TAboutForm : public DialogWindow
{
    Q_OBJECT
public:
    static constexpr int FormWidth = 456;
    static constexpr int FormHeight = 394;
    static constexpr TColor DesignColor = 0x00681717;

    explicit TAboutForm(QWidget *mainWindow = nullptr);

    // Children, named as in the layout.
    QLabel *img;
    TCoolBtn *btnClose;
    QLabel *laAbout;
    TSPanel *pa;
    THLabel *HLabel1;
    QLabel *Label3, *Label1, *laName, *Label2, *laDate, *Label4;

    TColor Color() const { return m_color; }
    void setColor(TColor c);
    quint8 KeyRed() const { return m_keyRed; }
    quint16 sh_Left = 100;
    TColor Col_1 = 0x000000;
    TColor Col_2 = 0xFFFFFF;
    qint32 sh_Col = 12;
    quint8 CornerSize = 30;
    quint8 FrameWidth = 30;
    TColor PanelColor = DesignColor;
    QRect PanelRect;

    QString AppText() const;
    void setAppText(const QString &t);
    QString AppName() const;
    void setAppName(const QString &t);
    QString AppDate() const;
    void setAppDate(const QString &t);

    const QImage &Backdrop() const { return m_backdrop; }
    QRegion WindowRegion() const { return m_region; }
    // The window's own surface as painted: backdrop, then the ring frame.
    QImage RenderSurface() const;
    void DrawFrame(QImage &surface, const QRect &r, int w) const;
    bool IsKeyPixel(const QImage &img, int x, int y) const;
    QRegion BitmapToRegion(const QImage &b) const;

    static QString MailAddress() { return QStringLiteral("mailto:authors@harvex.invalid"); }

public slots:
    void btnCloseClick();
    void HLabel1Click();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;

private:
    void buildLayout();
    void ComposeBackdrop(const QRect &r);
    void drawPicture(const QImage &picture);
    void buildOutline();
    QLabel *makeLabel(QWidget *parent, const QString &text, int x, int y);

    TColor m_color = DesignColor;
    quint8 m_keyRed = 0, m_keyGreen = 0, m_keyBlue = 0;
    QImage m_backdrop;
    QRegion m_region;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
