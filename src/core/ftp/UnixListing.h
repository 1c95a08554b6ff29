#pragma once
#include "ListedEntry.h"

#include <optional>

// Listings in the shape of ls -l: a type and permissions column, owner and
// group columns that vary, a size, a date in one of many forms, the name.
class UnixListing
{
public:
    static std::optional<ListedEntry> ls(const QByteArray &line, const QDateTime &now);
    static std::optional<ListedEntry> numericMode(const QByteArray &line, const QDateTime &now);
    static std::optional<ListedEntry> netware(const QByteArray &line, const QDateTime &now);
};
