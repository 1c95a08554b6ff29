#pragma once
#include <QObject>
#include <QString>

class ActivityLog;
class QPlainTextEdit;

// The "Log" page: the log's lines as they come and go, and a double-click
// on a scan's change line asking for what that scan changed.
class LogPage : public QObject
{
    Q_OBJECT
public:
    // Both outlive this.
    LogPage(ActivityLog &log, QPlainTextEdit *memo, QObject *parent = nullptr);

signals:
    // host: the one the line names, or empty when it names none.
    void changesAsked(const QString &host);

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QPlainTextEdit *m_memo;
};
