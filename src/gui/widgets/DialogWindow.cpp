#include "DialogWindow.h"
#include "WindowPlacement.h"

#include <QKeyEvent>

DialogWindow::DialogWindow(QWidget *mainWindow, Qt::WindowFlags flags)
    : QWidget(nullptr, flags)
    , m_mainWindow(mainWindow)
{
}

void DialogWindow::showEvent(QShowEvent *e)
{
    FormShow();
    if (!e->spontaneous())
        WindowPlacement::centreOn(this, m_mainWindow);
    if (m_mainWindow)
        m_mainWindow->setEnabled(false);
}

void DialogWindow::hideEvent(QHideEvent *)
{
    if (!m_mainWindow)
        return;
    m_mainWindow->setEnabled(true);
    m_mainWindow->activateWindow();
    m_mainWindow->setFocus();
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
