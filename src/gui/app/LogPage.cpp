#include "LogPage.h"
#include "LogChangeLine.h"
#include "core/base/ActivityLog.h"

#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

LogPage::LogPage(ActivityLog &log, QPlainTextEdit *memo, QObject *parent)
    : QObject(parent)
    , m_memo(memo)
{
    // The page drops its first line as the log does, in the document itself.
    memo->setMaximumBlockCount(ActivityLog::MaxLines);
    connect(&log, &ActivityLog::lineAdded, memo, &QPlainTextEdit::appendPlainText);
    connect(&log, &ActivityLog::linesReplaced, memo, [memo, &log] { memo->setPlainText(log.lines().join(u'\n')); });
    memo->viewport()->installEventFilter(this);
}

bool LogPage::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_memo->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        const QTextBlock block = m_memo->cursorForPosition(static_cast<QMouseEvent *>(e)->position().toPoint()).block();
        if (LogChangeLine::isChangeLine(block.text())) {
            emit changesAsked(LogChangeLine::hostOf(block));
            return true;
        }
    }
    return QObject::eventFilter(watched, e);
}
