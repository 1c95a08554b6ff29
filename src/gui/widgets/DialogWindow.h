#pragma once
#include <QPointer>
#include <QWidget>

// A window shown non-modally that keeps the main window disabled while it is
// shown, and enables it again when hidden. It is no child widget of the main
// window, which would disable it together with its parent; its native window
// belongs to the main window's instead (its transient parent), so that the
// window manager keeps it above the main window and centres, focuses and
// minimises them together.
// Every such window opens centred on the main window with the keyboard in
// its first field; Return submits it and Escape cancels it, as in any dialog.
class DialogWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DialogWindow(QWidget *mainWindow, Qt::WindowFlags flags = Qt::Dialog);

    // The field the keyboard goes to when shown: the first in the tab order.
    virtual QWidget *firstField() const;

public slots:
    // Return (or Enter): the dialog's default action. Hides it unless overridden.
    virtual void submit() { hide(); }
    // Escape: closes without acting. Hides it unless overridden.
    virtual void cancel() { hide(); }

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    // Runs on every show, before the main window is disabled.
    virtual void FormShow() {}
    QWidget *mainWindow() const { return m_mainWindow; }

private:
    void belongToMainWindow();
    void takeKeyboard();

    QPointer<QWidget> m_mainWindow;
};
