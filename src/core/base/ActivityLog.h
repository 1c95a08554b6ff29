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
    // Replaces every line; a CR, an LF or the pair ends a line.
    bool loadFromFile(const QString &path);
    // Each line ended by CR LF; overwrites the file.
    bool saveToFile(const QString &path) const;
    // From now on every new line is added to the end of the file at once, so
    // a crash loses nothing logged; the line limit applies when the file is
    // read, and saveToFile() at exit writes the bounded list as before.
    // False when the file cannot be opened for appending.
    bool appendTo(const QString &path);
    void stopAppending() { m_appendFile.close(); }

    // Tests pin the clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

signals:
    void lineAdded(const QString &line);
    void firstLineRemoved();
    void linesReplaced();

private:
    QStringList m_lines;
    std::function<QDateTime()> m_clock;
    QFile m_appendFile;
};
