#include "TSPanel.h"

#include <QChildEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>

TSPanel::TSPanel(QWidget *parent)
    : QFrame(parent)
{
    setMouseTracking(true);
}

Qt::CursorShape TSPanel::appCursor()
{
    const QCursor *c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
}

void TSPanel::setAppCursor(Qt::CursorShape shape)
{
    if (shape == Qt::ArrowCursor) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    if (QGuiApplication::overrideCursor())
        QGuiApplication::changeOverrideCursor(shape);
    else
        QGuiApplication::setOverrideCursor(shape);
}

void TSPanel::PanelMousePress(int x, int y)
{
    switch (appCursor()) {
    case Qt::SizeAllCursor:
        m_sizingMode = Move;
        break;
    case Qt::SizeHorCursor:
        m_sizingMode = x < Edge ? LeftEdge : RightEdge;
        break;
    case Qt::SizeFDiagCursor:
        m_sizingMode = y <= Edge ? (TopEdge | LeftEdge) : (BottomEdge | RightEdge);
        break;
    case Qt::SizeVerCursor:
        m_sizingMode = y < Edge ? TopEdge : BottomEdge;
        break;
    default:
        m_sizingMode = 0;
    }
    m_grabX = x;
    m_grabY = y;
}

// Moving the panel or its top or left edge carries it along with the
// pointer; dragging the bottom or right edge moves the grab point instead.
void TSPanel::applyDrag(int dX, int dY, int x, int y)
{
    if (m_sizingMode & Move)
        move(pos() + QPoint(dX, dY));
    if ((m_sizingMode & TopEdge) && height() - dY > Floor)
        setGeometry(this->x(), this->y() + dY, width(), height() - dY);
    if ((m_sizingMode & BottomEdge) && height() + dY > Floor) {
        resize(width(), height() + dY);
        m_grabX = x;
        m_grabY = y;
    }
    if ((m_sizingMode & LeftEdge) && width() - dX > Floor)
        setGeometry(this->x() + dX, this->y(), width() - dX, height());
    if ((m_sizingMode & RightEdge) && width() + dX > Floor) {
        resize(width() + dX, height());
        m_grabX = x;
        m_grabY = y;
    }
}

void TSPanel::cursorFeedback(int x, int y)
{
    const int w = width();
    const int h = height();
    const bool inside = Edge < x && x < w - Edge && Edge < y && y < h - Edge;
    if (!CanResize) {
        if (0 < x && x < w && 0 < y && y < h)
            setAppCursor(CanDrag ? Qt::SizeAllCursor : Cursor);
        return;
    }
    if (y < Edge || y > h - Edge)
        setAppCursor(Qt::SizeVerCursor);
    if (x < Edge || x > w - Edge)
        setAppCursor(Qt::SizeHorCursor);
    if ((x < Edge && y < Edge) || (x > w - Edge && y > h - Edge))
        setAppCursor(Qt::SizeFDiagCursor);
    if (inside)
        setAppCursor(CanDrag ? Qt::SizeAllCursor : Cursor);
}

void TSPanel::PanelMouseMove(int x, int y)
{
    applyDrag(x - m_grabX, y - m_grabY, x, y);
    cursorFeedback(x, y);
}

void TSPanel::mousePressEvent(QMouseEvent *e)
{
    QFrame::mousePressEvent(e);
    PanelMousePress(int(e->position().x()), int(e->position().y()));
}

void TSPanel::mouseMoveEvent(QMouseEvent *e)
{
    QFrame::mouseMoveEvent(e);
    PanelMouseMove(int(e->position().x()), int(e->position().y()));
}

void TSPanel::mouseReleaseEvent(QMouseEvent *e)
{
    QFrame::mouseReleaseEvent(e);
    PanelMouseRelease();
}

void TSPanel::enterEvent(QEnterEvent *)
{
    if (OnMouseEnter)
        OnMouseEnter(this, Qt::NoModifier, QCursor::pos().x(), QCursor::pos().y());
}

void TSPanel::leaveEvent(QEvent *)
{
    if (OnMouseLeave)
        OnMouseLeave(this, Qt::NoModifier, QCursor::pos().x(), QCursor::pos().y());
    setAppCursor(parentWidget() ? parentWidget()->cursor().shape() : Qt::ArrowCursor);
}

// A child's enter and leave are handled as the panel's own.
bool TSPanel::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::Leave && watched != this)
        leaveEvent(e);
    return QFrame::eventFilter(watched, e);
}

void TSPanel::childEvent(QChildEvent *e)
{
    if (e->added() && e->child()->isWidgetType())
        e->child()->installEventFilter(this);
    QFrame::childEvent(e);
}
