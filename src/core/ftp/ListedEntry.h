#pragma once
#include "core/base/FileEntry.h"
#include "core/base/ListedTime.h"

#include <QByteArray>
#include <QDateTime>

// One entry as a listing line describes it, before the name is decoded.
struct ListedEntry
{
    using Kind = FileEntry::Kind;

    QByteArray name;
    Kind kind = Kind::File;
    bool sizeKnown = false;
    quint64 size = 0;
    QDateTime modified; // UTC; invalid when the line gives none
    TimePrecision precision = TimePrecision::Exact;
    // The time is the server's local time, read as UTC: ls prints it so.
    bool onServerClock = false;
    QByteArray unique;  // MLSD "unique" or EPLF "i" fact
    // The name is clear but a field the line gave (a size past 2^63 - 1, an
    // impossible date) is not: that field is stored unknown, the line
    // counted as read in part.
    bool partial = false;

    // 100 ns units since 1601, as the catalogue stores times; 0 for no
    // time or one before 1601, which the count cannot hold.
    quint64 fileTime() const;
};
