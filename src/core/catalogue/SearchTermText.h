#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

// The texts people give a find's bounds, read the same by every front end:
// sizes with a unit, times as dates or ages.
class SearchTermText
{
public:
    // "700M", "5G", "1.5k", "123": bytes, units of 1024 (K, M, G, T, with
    // or without a B); nothing when it is not such a size.
    static std::optional<qint64> size(const QString &text);
    // "2024-01-01" (midnight UTC), "2024-01-01T12:00:00Z", or an age before
    // now: "30d", "12h", "2w", "90min"; invalid when it is none of them.
    static QDateTime time(const QString &text, const QDateTime &now = QDateTime::currentDateTimeUtc());
};
