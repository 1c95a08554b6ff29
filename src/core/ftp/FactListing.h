#pragma once
#include "ListedEntry.h"

#include <optional>

// Listings made of facts: MLSD lines (also what some servers send for LIST)
// and EPLF.
class FactListing
{
public:
    static std::optional<ListedEntry> mlsd(const QByteArray &line);
    static std::optional<ListedEntry> eplf(const QByteArray &line);
    // MLSD's cdir and pdir lines: the folder itself and its parent.
    static bool isSelfOrParent(const QByteArray &line);
};
