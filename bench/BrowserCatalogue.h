#pragma once
#include <QString>

// The browser benchmark's catalogue: hosts of known shapes written straight
// into the table in one transaction, then given their indexes (sorted builds)
// by the catalogue's own first open. Generated once per shape and version
// and kept under the temporary folder, so later runs start at once.
class BrowserCatalogue
{
public:
    // Hosts, each folders in levels of ten per parent, then files spread over
    // the deepest level.
    static constexpr auto BigHost = "generated.example"; // random names: the finds' material
    static constexpr auto TenHost = "ten.example"; // 10,000 folders, 100,000 entries
    static constexpr auto HundredHost = "hundred.example"; // 100,000 folders, 900,000 entries
    static constexpr auto MillionHost = "million.example"; // 1,000,000 entries: statistics and sorting
    static constexpr auto FolderHost = "folders.example"; // 1,000,000 folders: the tree

    // The folder holding DB.sqlite for bigRows rows of BigHost; generated
    // when missing. indexSeconds tells how long the first open took to build
    // the indexes, or -1 when the catalogue was already there.
    static QString prepare(int bigRows, double &indexSeconds);
};
