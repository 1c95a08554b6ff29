#pragma once
#include <QPointer>
#include <QWidget>

// A window shown non-modally that keeps the main window disabled while it is
// shown, and enables it again when hidden. Parentless on purpose: a child
// window would be disabled together with its parent.
// Every such window opens centred on the main window; Return submits it and
// Escape cancels it, as in any dialog.
class DialogWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DialogWindow(QWidget *mainWindow, Qt::WindowFlags flags = Qt::Tool);

public slots:
    // Return (or Enter): the dialog's default action. Hides it unless overridden.
    virtual void submit() { hide(); }
    // Escape: closes without acting. Hides it unless overridden.
    virtual void cancel() { hide(); }

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    // Runs on every show, before the main window is disabled.
    virtual void FormShow() {}
    QWidget *mainWindow() const { return m_mainWindow; }

private:
    QPointer<QWidget> m_mainWindow;
};
