#include "GuiTrustPrompt.h"
#include "widgets/UiSeam.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

QString GuiTrustPrompt::question(const QString &host, const QString &fingerprint, const QString &problem,
                                 const QString &pinnedFingerprint)
{
    if (pinnedFingerprint.isEmpty())
        return QStringLiteral("The certificate of %1 cannot be verified (%2).\n\nSHA-256 fingerprint:\n%3\n\n"
                              "Trust this certificate for %1 from now on?")
            .arg(host, problem, fingerprint);
    return QStringLiteral("The certificate of %1 cannot be verified (%2).\n\n"
                          "It is not the certificate pinned for %1: the server has a new certificate, "
                          "or another server answers in its place.\n\n"
                          "Pinned SHA-256 fingerprint:\n%4\n\nSHA-256 fingerprint:\n%3\n\n"
                          "Trust this certificate for %1 from now on, in place of the pinned one?")
        .arg(host, problem, fingerprint, pinnedFingerprint);
}

bool GuiTrustPrompt::trustCertificate(const QString &host, const QString &fingerprint, const QString &problem,
                                      const QString &pinnedFingerprint)
{
    const QString text = question(host, fingerprint, problem, pinnedFingerprint);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return UiSeam::ask(text);
    bool yes = false;
    QMetaObject::invokeMethod(app, [&] { yes = UiSeam::ask(text); }, Qt::BlockingQueuedConnection);
    return yes;
}
