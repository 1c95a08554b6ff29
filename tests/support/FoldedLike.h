#pragma once
#include "core/catalogue/NameFold.h"

#include <QList>
#include <QString>

// What a find by name is checked against: LIKE's meaning without an escape
// character ("%" any run, "_" one character), on the name and the pattern
// both folded here in C++, character by character.
namespace FoldedLike {
inline bool matchesFolded(const QList<uint> &s, const QList<uint> &p)
{
    qsizetype i = 0, j = 0, star = -1, resume = 0;
    while (i < s.size()) {
        if (j < p.size() && p[j] != U'%' && (p[j] == U'_' || p[j] == s[i])) {
            ++i, ++j;
        } else if (j < p.size() && p[j] == U'%') {
            star = j++;
            resume = i;
        } else if (star >= 0) {
            j = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (j < p.size() && p[j] == U'%')
        ++j;
    return j == p.size();
}

inline bool matches(const QString &name, const QString &pattern)
{
    return matchesFolded(NameFold::fold(name).toUcs4(), NameFold::fold(pattern).toUcs4());
}
} // namespace FoldedLike
