#pragma once
#include <QString>

class HarvexApplication;

// The find's targets on the browser benchmark's catalogue: each search's
// first screenful of rows with their paths, as harvex-cli find gives them
// (the core search), and as the find dialog shows them (the grid's first
// page and its count). Seconds of wall time; each line printed as it is
// measured.
class SearchBench
{
public:
    struct Figures
    {
        double patternSizeType = 0, patternSizeTypeDialog = 0;
        double datesHost = 0, datesHostDialog = 0;
        double underPattern = 0, underPatternDialog = 0;
        double regex = 0, regexDialog = 0;
    };

    // app: started over the benchmark's catalogue.
    static Figures run(HarvexApplication &app);
};
