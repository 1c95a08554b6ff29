#pragma once
#include "core/scan/HostSource.h"
#include "widgets/DialogWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QWidget>

class IniFile;
class QCheckBox;
class TCoolBtn;

// The host dialog: its three fields are the program's only record of the
// host, user and password. The password is kept nowhere else.
class TSelHost : public DialogWindow, public HostSource
{
    Q_OBJECT
public:
    static constexpr int MaxHistory = 100;

    explicit TSelHost(QWidget *mainWindow = nullptr);

    QLabel *Label2, *Label4, *Label1, *Label5;
    QComboBox *cbHost;
    QLineEdit *edName, *edPsw;
    QCheckBox *cbShowPsw;
    TCoolBtn *btnOk, *btnCancel;

    QString CurrentHost() override;
    QString CurrentUser() override { return edName->text(); }
    QString CurrentPassword() override { return edPsw->text(); }
    void AskForHost();

    void LoadHostHistory(IniFile *settings);
    void SaveHostHistory(IniFile *settings);
    QStringList history() const;
    // host answered a log-on: it is kept in the history. Hosts typed in but
    // never reached are offered for this run only.
    void markReached(const QString &host);

    // Names host in the host field, as if chosen there; the history is not changed.
    void chooseHost(const QString &host) { cbHost->setEditText(host); }

signals:
    // OK was pressed with host in the host field.
    void hostConfirmed(const QString &host);

public slots:
    void btnOkClick();
    void submit() override { btnOkClick(); }
    // Hides the dialog with the host, user and password it was shown with.
    void cancel() override;
    void cbExit();

protected:
    void FormShow() override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QSet<QString> m_kept; // loaded from the settings file, or reached since
    struct Fields
    {
        QString host, user, password;
    };
    Fields m_shown;
};
