#pragma once
#include <QDateTime>
#include <QString>

// The LAC column keeps a listing time's 64-bit FILETIME (100-ns steps since
// 1 January 1601, UTC) in the bytes of a double: stored catalogues rely on
// this, so the value is only ever read back, never changed. For a time after
// 1601 the sign bit is clear, so the doubles order like the times and
// ORDER BY LAC sorts by date.
namespace LacTime {
quint64 fileTime(double lac);
// Invalid for 0 (no time was listed).
QDateTime toDateTime(double lac);
// The LAC value of a time; 0 for an invalid one.
double fromDateTime(const QDateTime &when);
// Local time, "2026-12-09 01:08"; empty for 0.
QString text(double lac);
}
