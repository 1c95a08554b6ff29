#pragma once
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <functional>

// The bounded list of activity lines shown on the "Log" page and kept in the
// log file between runs.
class ActivityLog : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 500;

    explicit ActivityLog(QObject *parent = nullptr);

    // Virtual: a scan on a thread of its own hands its lines to the window's log.
    virtual void LogLine(const QString &text, bool stamped);
    static QString stampedText(const QString &text, const QDateTime &when);

    const QStringList &lines() const { return m_lines; }
    // Replaces every line with the file's last MaxLines; a CR, an LF or the
    // pair ends a line.
    bool loadFromFile(const QString &path);
    // Each line ended by CR LF; overwrites the file.
    bool saveToFile(const QString &path) const;
    // From now on every new line is added to the end of the file at once, so
    // a crash loses nothing logged. The file never holds more than MaxLines:
    // once full it is rewritten (whole, or not at all) from the last
    // KeptOnRewrite lines of the list, so a flood rewrites it once per
    // hundred lines rather than once per line. Load the file first: the
    // list is what it is rewritten from. False when it cannot be opened.
    bool appendTo(const QString &path);
    void stopAppending() { m_appendFile.close(); }
    static constexpr int KeptOnRewrite = 400;

    // Tests pin the clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

signals:
    void lineAdded(const QString &line);
    void firstLineRemoved();
    void linesReplaced();

private:
    QStringList m_lines;
    std::function<QDateTime()> m_clock;
    void appendToFile(const QString &line);
    bool rewriteFile();

    QFile m_appendFile;
    int m_fileLines = 0; // lines the appended-to file holds
};
