#pragma once
#include <QString>

class QTextBlock;

// The Log's line of what a scan changed ("   Added 3, changed 1, removed 2")
// and the host it is about, named by the scan's start line above it.
class LogChangeLine
{
public:
    static bool isChangeLine(const QString &line);
    // The host of the scan whose change line is block; empty when block is
    // no change line or the start line has left the log.
    static QString hostOf(const QTextBlock &block);
};
