#pragma once
#include "EntryName.h"
#include "core/base/FileEntry.h"

#include <QByteArray>

// A listed entry as the catalogue's columns hold it, worked out once per entry.
struct EntryFields
{
    EntryName split;  // Name and ext
    QByteArray exact; // the listed bytes rows are matched by
    qint64 size = 0;  // bytes; a listing that gives no size (or one past qint64) stores 0
    double lac = 0;   // the 100-ns count's bits, as stored catalogues keep LAC
    qint32 attr = 0;
    bool folder = false;

    static EntryFields of(const FileEntry &entry);
    // The wire name, or the decoded name for entries made without one.
    static QByteArray exactBytes(const FileEntry &entry);
};
