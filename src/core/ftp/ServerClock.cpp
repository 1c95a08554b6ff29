#include "ServerClock.h"
#include "core/base/ListedTime.h"

#include <QDateTime>
#include <QHash>
#include <cmath>

namespace {
constexpr qint64 TicksPerSecond = 1000 * ListedTime::TicksPerMs;
constexpr int QuarterHourS = 15 * 60;
// No zone is further than this from UTC (Kiribati, +14:00).
constexpr int MostOffsetS = 14 * 3600;

// local - utc, in seconds, for a time ls printed to the minute: it shows
// the minute the moment falls in, so the difference sits up to a minute
// below the offset.
std::optional<int> offsetOf(quint64 local, quint64 utc)
{
    const double seconds = (double(qint64(ListedTime::start(local) - utc)) / TicksPerSecond) + 30;
    const int offset = int(std::lround(seconds / QuarterHourS)) * QuarterHourS;
    if (std::abs(offset) > MostOffsetS || std::abs(seconds - offset) > 31)
        return std::nullopt;
    return offset;
}

QDateTime mdtmTime(const FtpReply &reply)
{
    if (reply.code != 213)
        return {};
    const QByteArray text = reply.text().mid(4).trimmed();
    const QString digits = QString::fromLatin1(text.left(14));
    return QDateTime(QDate::fromString(digits.left(8), QStringLiteral("yyyyMMdd")),
                     QTime::fromString(digits.mid(8), QStringLiteral("HHmmss")), Qt::UTC);
}

quint64 fileTimeOf(const QDateTime &t)
{
    constexpr qint64 MsFrom1601To1970 = 11644473600000;
    return quint64(t.toMSecsSinceEpoch() + MsFrom1601To1970) * ListedTime::TicksPerMs;
}
} // namespace

std::optional<int> ServerClock::offsetFrom(const FtpListing &exact, const FtpListing &local)
{
    QHash<QByteArray, quint64> utc;
    for (const FileEntry &e : exact.entries)
        utc.insert(e.wireName, e.time);
    std::optional<int> found;
    for (const FileEntry &e : local.entries) {
        // A link's ls time is its own; some servers' MLSD give its target's.
        const quint64 u = utc.value(e.wireName);
        if (u == 0 || e.isLink() || ListedTime::precision(e.time) != TimePrecision::Minute)
            continue;
        const std::optional<int> offset = offsetOf(e.time, u);
        if (!offset || (found && *found != *offset))
            return std::nullopt;
        found = offset;
    }
    return found;
}

std::optional<int> ServerClock::offsetFromMdtm(const FtpReply &reply, quint64 localTime)
{
    const QDateTime t = mdtmTime(reply);
    if (!t.isValid() || ListedTime::precision(localTime) != TimePrecision::Minute)
        return std::nullopt;
    return offsetOf(localTime, fileTimeOf(t));
}

const FileEntry *ServerClock::mdtmCandidate(const FtpListing &listing)
{
    for (const FileEntry &e : listing.entries) {
        const bool safe = !e.wireName.contains('\r') && !e.wireName.contains('\n') && !e.wireName.contains('\0')
            && !e.wireName.startsWith(' ');
        if (e.kind == FileEntry::Kind::File && safe && ListedTime::precision(e.time) == TimePrecision::Minute)
            return &e;
    }
    return nullptr;
}

void ServerClock::shift(FtpListing &listing, int offsetS)
{
    for (FileEntry &e : listing.entries) {
        if (e.time != 0 && ListedTime::precision(e.time) != TimePrecision::Exact)
            e.time -= quint64(qint64(offsetS) * TicksPerSecond);
    }
}
