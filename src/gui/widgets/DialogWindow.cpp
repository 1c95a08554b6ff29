#include "DialogWindow.h"

DialogWindow::DialogWindow(QWidget *mainWindow, Qt::WindowFlags flags)
    : QWidget(nullptr, flags)
    , m_mainWindow(mainWindow)
{
}

void DialogWindow::showEvent(QShowEvent *)
{
    FormShow();
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
