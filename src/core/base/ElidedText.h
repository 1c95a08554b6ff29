#pragma once
#include <QString>

// A text cut to its two ends around "…", as the log shows a path a
// hostile or endless tree made thousands of characters long.
class ElidedText
{
public:
    static constexpr qsizetype DefaultKeep = 60;

    // The text as it is when it is no longer than the two ends and the
    // mark; else keep characters of each end. Never splits a surrogate pair.
    static QString middle(const QString &text, qsizetype keep = DefaultKeep);
};
