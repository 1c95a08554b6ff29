#include "GuiTrustPrompt.h"
#include "widgets/UiSeam.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

QString GuiTrustPrompt::question(const QString &host, const QString &fingerprint, const QString &problem)
{
    return QStringLiteral("The certificate of %1 cannot be verified (%2).\n\nSHA-256 fingerprint:\n%3\n\n"
                          "Trust this certificate for %1 from now on?")
        .arg(host, problem, fingerprint);
}

bool GuiTrustPrompt::trustCertificate(const QString &host, const QString &fingerprint, const QString &problem)
{
    const QString text = question(host, fingerprint, problem);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return UiSeam::ask(text);
    bool yes = false;
    QMetaObject::invokeMethod(app, [&] { yes = UiSeam::ask(text); }, Qt::BlockingQueuedConnection);
    return yes;
}
