#pragma once
#include <QtGlobal>

// How finely a listing gave a time: MLSD to the second (or finer), ls to
// the minute for recent files and to the day for those older than about
// six months.
enum class TimePrecision : quint8 { Exact, Minute, Day };

// Listed times as the catalogue keeps them (100 ns units since 1601), with
// their precision. The precision rides in the sub-millisecond ticks, which
// no listing fills: LAC keeps its meaning and the table its columns, which
// stored catalogues and the programs that read them rely on, and a time
// shows and sorts as it did (a tick is 100 ns).
namespace ListedTime {
constexpr quint64 TicksPerMs = 10000;

// time with its precision noted; 0 (no time) stays 0.
quint64 marked(quint64 time, TimePrecision precision);
// Exact for every time stored before precision was noted.
TimePrecision precision(quint64 time);
// The first moment the time may stand for, the note taken off.
quint64 start(quint64 time);
// Whether stored and listed may name the same moment, to the coarser of
// their precisions: "Dec 8 22:18" from ls is the MLSD time 22:18:41, and
// "Dec 8 2025", once the file is six months old, is either.
bool same(quint64 stored, quint64 listed);
// Of two times that are the same, the one that says more.
quint64 finer(quint64 a, quint64 b);
} // namespace ListedTime
