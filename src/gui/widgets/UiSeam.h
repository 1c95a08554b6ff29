#pragma once
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// The one place where the program shows a modal message box or hands an
// address to the system. Tests replace both so nothing blocks or opens.
class UiSeam
{
public:
    using MessageHandler = std::function<void(const QString &text)>;
    using UrlHandler = std::function<void(const QUrl &url)>;
    using QuestionHandler = std::function<bool(const QString &text)>;
    // Tells whether a program took the address.
    using UrlOpener = std::function<bool(const QUrl &url)>;
    // The file chosen to write to; empty when none was.
    using SaveFileHandler = std::function<QString(const QString &caption, const QString &filter)>;

    static void message(const QString &text);
    // False when no program handles the address.
    static bool openUrl(const QUrl &url);
    // A yes/no question; true for yes. GUI thread only.
    static bool ask(const QString &text);
    static void setQuestionHandler(QuestionHandler h);
    static void setMessageHandler(MessageHandler h);
    // A handler that always succeeds.
    static void setUrlHandler(UrlHandler h);
    static void setUrlOpener(UrlOpener h);
    static void setParentWindow(QWidget *w);
    // A file dialog asking where to write; empty when cancelled. GUI thread only.
    static QString saveFileName(const QString &caption, const QString &filter);
    static void setSaveFileHandler(SaveFileHandler h);
};
