#include "UiSeam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace {
UiSeam::MessageHandler &messageHandler()
{
    static UiSeam::MessageHandler h;
    return h;
}

UiSeam::UrlOpener &urlOpener()
{
    static UiSeam::UrlOpener h;
    return h;
}

UiSeam::QuestionHandler &questionHandler()
{
    static UiSeam::QuestionHandler h;
    return h;
}

UiSeam::SaveFileHandler &saveFileHandler()
{
    static UiSeam::SaveFileHandler h;
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

bool UiSeam::openUrl(const QUrl &url)
{
    if (urlOpener())
        return urlOpener()(url);
    // Never a shell command line: the address goes to the desktop as a URL.
    return QDesktopServices::openUrl(url);
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
void UiSeam::setUrlHandler(UrlHandler h)
{
    if (!h) {
        urlOpener() = nullptr;
        return;
    }
    urlOpener() = [h = std::move(h)](const QUrl &url) {
        h(url);
        return true;
    };
}

void UiSeam::setUrlOpener(UrlOpener h) { urlOpener() = std::move(h); }
void UiSeam::setParentWindow(QWidget *w) { parentWindow() = w; }

QString UiSeam::saveFileName(const QString &caption, const QString &filter)
{
    if (saveFileHandler())
        return saveFileHandler()(caption, filter);
    return QFileDialog::getSaveFileName(parentWindow(), caption, QString(), filter);
}

void UiSeam::setSaveFileHandler(SaveFileHandler h) { saveFileHandler() = std::move(h); }
