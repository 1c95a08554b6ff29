#pragma once
#include "ListedEntry.h"

#include <QByteArrayList>
#include <optional>

// OpenVMS DIRECTORY output as its FTP servers send it.
class VmsListing
{
public:
    static std::optional<ListedEntry> parse(const QByteArray &line);
    // A name too long for its column stands alone, the rest of the entry on
    // the next line; such pairs are joined before parsing.
    static QByteArrayList joinWrapped(const QByteArrayList &lines);
    static bool isNoise(const QByteArray &trimmed);
};
