#pragma once
#include <QPointer>
#include <QWidget>

// A window shown non-modally that keeps the main window disabled while it is
// shown, and enables it again when hidden. Parentless on purpose: a child
// window would be disabled together with its parent.
class DialogWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DialogWindow(QWidget *mainWindow, Qt::WindowFlags flags = Qt::Tool);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    // Runs on every show, before the main window is disabled.
    virtual void FormShow() {}
    QWidget *mainWindow() const { return m_mainWindow; }

private:
    QPointer<QWidget> m_mainWindow;
};
