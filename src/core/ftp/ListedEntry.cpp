#include "ListedEntry.h"

quint64 ListedEntry::fileTime() const
{
    constexpr qint64 MsFrom1601To1970 = 11644473600000;
    // The catalogue keeps the count as the bits of a double: above this the
    // bits would spell NaN, which SQLite stores as NULL.
    constexpr qint64 MsLast = qint64(0x7FEFFFFFFFFFFFFF / 10000) - MsFrom1601To1970;
    if (!modified.isValid())
        return 0;
    const qint64 ms = modified.toMSecsSinceEpoch();
    if (ms < -MsFrom1601To1970 || ms > MsLast)
        return 0;
    return quint64(ms + MsFrom1601To1970) * 10000;
}
