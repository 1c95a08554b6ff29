#pragma once
#include "core/base/FileEntry.h"

#include <QList>
#include <QtGlobal>

// A folder's listing reduced to 16 bytes: the names, kinds, sizes, times and
// "unique" facts in the order listed. Two listings with the same signature
// show the same entries; a scan keeps signatures, never whole listings.
class ListingSignature
{
public:
    ListingSignature() = default; // of no listing: equals no listing's signature
    static ListingSignature of(const QList<FileEntry> &entries);

    bool isValid() const { return m_valid; }
    bool operator==(const ListingSignature &other) const = default;

private:
    quint64 m_high = 0;
    quint64 m_low = 0;
    bool m_valid = false;
};
