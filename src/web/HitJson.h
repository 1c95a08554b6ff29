#pragma once
#include "core/catalogue/PathSearch.h"

#include <QJsonObject>

// A found row as the API gives it: the fields of harvex-cli find --format
// json (the table's columns, Path and Date) and its ftp:// address as Url,
// null where a folder on the way up is missing.
class HitJson
{
public:
    static QJsonObject of(const PathSearch::Hit &hit, PathSearch &search);
    // "2026-12-09T01:08:30Z"; null when no time was listed.
    static QJsonValue date(double lac);
};
