#include "UiSeam.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>

namespace {
UiSeam::MessageHandler &messageHandler()
{
    static UiSeam::MessageHandler h;
    return h;
}

UiSeam::UrlHandler &urlHandler()
{
    static UiSeam::UrlHandler h;
    return h;
}

UiSeam::QuestionHandler &questionHandler()
{
    static UiSeam::QuestionHandler h;
    return h;
}

QPointer<QWidget> &parentWindow()
{
    static QPointer<QWidget> w;
    return w;
}
} // namespace

void UiSeam::message(const QString &text)
{
    if (messageHandler()) {
        messageHandler()(text);
        return;
    }
    QMessageBox::information(parentWindow(), QStringLiteral("Harvex"), text);
}

void UiSeam::openUrl(const QUrl &url)
{
    if (urlHandler()) {
        urlHandler()(url);
        return;
    }
    // Never a shell command line: the address goes to the desktop as a URL.
    QDesktopServices::openUrl(url);
}

bool UiSeam::ask(const QString &text)
{
    if (questionHandler())
        return questionHandler()(text);
    return QMessageBox::question(parentWindow(), QStringLiteral("Harvex"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

void UiSeam::setQuestionHandler(QuestionHandler h) { questionHandler() = std::move(h); }
void UiSeam::setMessageHandler(MessageHandler h) { messageHandler() = std::move(h); }
void UiSeam::setUrlHandler(UrlHandler h) { urlHandler() = std::move(h); }
void UiSeam::setParentWindow(QWidget *w) { parentWindow() = w; }
