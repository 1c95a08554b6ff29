#pragma once
#include "TMouseMoveEvent.h"
#include "TSides.h"

#include <QFrame>

// A panel the user can move by its interior and resize by its edges, each
// switched on by a property; the application-wide cursor shows what a press
// will do. The slide settings are kept, but nothing starts a slide.
class TSPanel : public QFrame
{
    Q_OBJECT
public:
    enum SizingBits : quint8 { Move = 1, TopEdge = 2, BottomEdge = 4, LeftEdge = 8, RightEdge = 16 };
    static constexpr int Floor = 10;
    static constexpr int Edge = 5;

    explicit TSPanel(QWidget *parent = nullptr);

    bool CanDrag = false;
    bool CanResize = false;
    TSides SlideTo = TSides::sTopLeft;
    quint16 SlideSpeed = 5;
    quint16 SlideSteps = 15;
    Qt::CursorShape Cursor = Qt::ArrowCursor;
    TMouseMoveEvent OnMouseEnter;
    TMouseMoveEvent OnMouseLeave;

    quint8 SizingMode() const { return m_sizingMode; }
    void PanelMousePress(int x, int y);
    void PanelMouseMove(int x, int y);
    void PanelMouseRelease() { m_sizingMode = 0; }

    // The application-wide cursor: Qt's override cursor plays that role.
    static Qt::CursorShape appCursor();
    static void setAppCursor(Qt::CursorShape shape);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void childEvent(QChildEvent *e) override;

private:
    void applyDrag(int dX, int dY, int x, int y);
    void cursorFeedback(int x, int y);

    quint8 m_sizingMode = 0;
    int m_grabX = 0;
    int m_grabY = 0;
};
