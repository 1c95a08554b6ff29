#include "ListedTime.h"

#include <utility>

namespace {
constexpr quint64 TicksPerMinute = 60 * 1000 * ListedTime::TicksPerMs;
constexpr quint64 TicksPerDay = 24 * 60 * TicksPerMinute;
// The notes: no listing gives a time to a tenth of a microsecond.
constexpr quint64 MinuteNote = 1;
constexpr quint64 DayNote = 2;

quint64 span(TimePrecision p)
{
    switch (p) {
    case TimePrecision::Minute:
        return TicksPerMinute;
    case TimePrecision::Day:
        return TicksPerDay;
    case TimePrecision::Exact:
        break;
    }
    return 0;
}
} // namespace

quint64 ListedTime::marked(quint64 time, TimePrecision precision)
{
    if (time == 0)
        return 0;
    const quint64 bare = time - time % TicksPerMs;
    switch (precision) {
    case TimePrecision::Minute:
        return bare + MinuteNote;
    case TimePrecision::Day:
        return bare + DayNote;
    case TimePrecision::Exact:
        break;
    }
    return time;
}

TimePrecision ListedTime::precision(quint64 time)
{
    switch (time % TicksPerMs) {
    case MinuteNote:
        return TimePrecision::Minute;
    case DayNote:
        return TimePrecision::Day;
    default:
        return TimePrecision::Exact;
    }
}

quint64 ListedTime::start(quint64 time)
{
    return precision(time) == TimePrecision::Exact ? time : time - time % TicksPerMs;
}

bool ListedTime::same(quint64 stored, quint64 listed)
{
    if (stored == listed)
        return true;
    if (stored == 0 || listed == 0)
        return false;
    TimePrecision ps = precision(stored), pl = precision(listed);
    quint64 coarse = start(stored), fine = start(listed);
    if (span(pl) > span(ps)) {
        std::swap(coarse, fine);
        std::swap(ps, pl);
    }
    if (ps == pl)
        return coarse == fine;
    return fine >= coarse && fine - coarse < span(ps);
}

quint64 ListedTime::finer(quint64 a, quint64 b)
{
    return span(precision(b)) < span(precision(a)) ? b : a;
}
