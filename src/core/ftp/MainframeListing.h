#pragma once
#include "ListedEntry.h"

#include <optional>

// IBM and Tandem systems: MVS data sets and partitioned data set members,
// z/VM minidisk and SFS files, OS/400 objects, HP NonStop Guardian files.
class MainframeListing
{
public:
    static std::optional<ListedEntry> mvsDataSet(const QByteArray &line);
    static std::optional<ListedEntry> mvsMember(const QByteArray &line);
    static std::optional<ListedEntry> zvm(const QByteArray &line);
    static std::optional<ListedEntry> os400(const QByteArray &line);
    static std::optional<ListedEntry> nonStop(const QByteArray &line);
    static bool isNoise(const QByteArray &trimmed);
};
