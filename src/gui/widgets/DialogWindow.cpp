#include "DialogWindow.h"
#include "WindowPlacement.h"

#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

DialogWindow::DialogWindow(QWidget *mainWindow, Qt::WindowFlags flags)
    : QWidget(nullptr, flags)
    , m_mainWindow(mainWindow)
{
    if (mainWindow)
        mainWindow->installEventFilter(this);
}

QWidget *DialogWindow::firstField() const
{
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
        if (isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(this))
            return w;
    return nullptr;
}

// Runs before the native window is mapped, so the window manager learns
// whose dialog it is from the first.
void DialogWindow::showEvent(QShowEvent *e)
{
    FormShow();
    belongToMainWindow();
    if (!e->spontaneous())
        WindowPlacement::centreOn(this, m_mainWindow);
    if (m_mainWindow)
        m_mainWindow->setEnabled(false);
    takeKeyboard();
    // Some window managers activate a window only once it is mapped.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            takeKeyboard();
    });
}

void DialogWindow::belongToMainWindow()
{
    QWindow *own = windowHandle();
    QWindow *main = m_mainWindow ? m_mainWindow->window()->windowHandle() : nullptr;
    if (own && main && own->transientParent() != main)
        own->setTransientParent(main);
}

void DialogWindow::takeKeyboard()
{
    raise();
    activateWindow();
    if (QWidget *field = firstField())
        field->setFocus(Qt::ActiveWindowFocusReason);
    else
        setFocus(Qt::ActiveWindowFocusReason);
}

void DialogWindow::hideEvent(QHideEvent *)
{
    if (!m_mainWindow)
        return;
    m_mainWindow->setEnabled(true);
    m_mainWindow->activateWindow();
    m_mainWindow->setFocus();
}

// A click on the disabled main window activates it: the dialog it waits
// for comes back on top with the keyboard.
bool DialogWindow::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_mainWindow && e->type() == QEvent::WindowActivate && isVisible()) {
        raise();
        activateWindow();
    }
    return QWidget::eventFilter(watched, e);
}

// Reached when the focused field does not use the key itself (a text box
// with several lines keeps Return for its new lines).
void DialogWindow::keyPressEvent(QKeyEvent *e)
{
    if (e->modifiers() & ~(Qt::KeypadModifier | Qt::ControlModifier)) {
        QWidget::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        submit();
        break;
    case Qt::Key_Escape:
        cancel();
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}
