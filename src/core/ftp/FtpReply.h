#pragma once
#include <QByteArrayList>

// One reply on the control connection. code is 0 when none came (time-out or
// a lost connection); lines hold every line, the first and last included.
struct FtpReply
{
    int code = 0;
    QByteArrayList lines;

    bool isPreliminary() const { return code >= 100 && code < 200; }
    bool isPositive() const { return code >= 200 && code < 300; }
    bool isIntermediate() const { return code >= 300 && code < 400; }
    bool isFailure() const { return code == 0 || code >= 400; }
    QByteArray text() const { return lines.isEmpty() ? QByteArray() : lines.last(); }
};
