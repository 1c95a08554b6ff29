#pragma once
#include "core/base/ActivityLog.h"

// A log that keeps nothing: each line goes out as a signal, which a queued
// connection carries to the window's log on its own thread. The window's
// log stamps the line, so every line has the window's clock.
class RelayedLog : public ActivityLog
{
    Q_OBJECT
public:
    using ActivityLog::ActivityLog;
    void LogLine(const QString &text, bool stamped) override { emit lineRelayed(text, stamped); }

signals:
    void lineRelayed(const QString &text, bool stamped);
};
