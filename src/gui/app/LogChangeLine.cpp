#include "LogChangeLine.h"

#include <QRegularExpression>
#include <QTextBlock>

bool LogChangeLine::isChangeLine(const QString &line)
{
    static const QRegularExpression form(QStringLiteral("^   Added \\d+, changed \\d+, removed \\d+"));
    return form.match(line).hasMatch();
}

QString LogChangeLine::hostOf(const QTextBlock &block)
{
    if (!block.isValid() || !isChangeLine(block.text()))
        return QString();
    // The start line carries a time stamp after the colon.
    static const QRegularExpression start(QStringLiteral("^   Scanning of Host (.*) started:"));
    for (QTextBlock b = block.previous(); b.isValid(); b = b.previous()) {
        if (isChangeLine(b.text()))
            return QString(); // an earlier scan's: this one's start is gone
        const QRegularExpressionMatch m = start.match(b.text());
        if (m.hasMatch())
            return m.captured(1);
    }
    return QString();
}
