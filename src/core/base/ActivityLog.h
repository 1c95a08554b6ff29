#pragma once
#include <QDateTime>
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

    // Tests pin the clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

signals:
    void lineAdded(const QString &line);
    void firstLineRemoved();
    void linesReplaced();

private:
    QStringList m_lines;
    std::function<QDateTime()> m_clock;
};
