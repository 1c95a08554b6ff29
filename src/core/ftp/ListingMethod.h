#pragma once
#include <QByteArray>

// How a folder is listed: over a data connection (MLSD, LIST) or in the
// reply on the control connection (STAT).
enum class ListingMethod { Mlsd, ListA, List, Stat, StatA };

// The command that lists the current folder.
inline QByteArray listingCommand(ListingMethod m)
{
    switch (m) {
    case ListingMethod::Mlsd:
        return "MLSD";
    case ListingMethod::ListA:
        return "LIST -a";
    case ListingMethod::List:
        return "LIST";
    case ListingMethod::Stat:
        return "STAT .";
    case ListingMethod::StatA:
        return "STAT -a .";
    }
    return "LIST";
}

inline bool listingOnControl(ListingMethod m)
{
    return m == ListingMethod::Stat || m == ListingMethod::StatA;
}
