#pragma once
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

// Debian's chromium, headless, driven through its DevTools protocol on
// the loopback: a page loaded, keys typed into it, scripts evaluated in it
// and pictures taken of it, as a person at a browser would see it.
class HeadlessBrowser
{
public:
    ~HeadlessBrowser();
    // The chromium program, or empty when it is not installed.
    static QString program();
    // Opens url in a window of width x height; false (see error()) when the browser does not come up.
    bool start(const QString &url, int width, int height);
    QString error() const { return m_error; }

    // A protocol command and its result; an empty object after 20 s without one.
    QJsonObject call(const QString &method, const QJsonObject &params = {});
    // The script's value, by value.
    QJsonValue evaluate(const QString &script);
    // Waits up to 20 s for the script to give true.
    bool waitFor(const QString &script);
    // Types text into the focused element, then presses Enter.
    void type(const QString &text);
    bool screenshot(const QString &pngPath);

private:
    QProcess m_process;
    QTemporaryDir m_profile;
    QWebSocket m_socket;
    int m_nextId = 1;
    QString m_error;
};
