#pragma once
#include "ListedEntry.h"

#include <optional>

// Listings in columns, date or size first, from DOS-like and embedded
// systems. The name starts at its column: padding before it is not its own.
class DosListing
{
public:
    static std::optional<ListedEntry> dos(const QByteArray &line);
    static std::optional<ListedEntry> os2(const QByteArray &line);
    static std::optional<ListedEntry> vxWorks(const QByteArray &line);
    static std::optional<ListedEntry> os9(const QByteArray &line);
    static std::optional<ListedEntry> vshell(const QByteArray &line, const QDateTime &now);
};
