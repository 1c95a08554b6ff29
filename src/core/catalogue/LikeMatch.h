#pragma once
#include <QByteArrayView>

// LIKE's meaning on UTF-8 text, without an escape character: "%" any run of
// characters, "_" one character (a code point), anything else exactly. The
// finds give it the folded name and the folded pattern (NameFold), so exact
// is what they want; SQLite's LIKE would also fold A to Z, which folded text
// no longer holds, but costs a copy of each folded name to be given it.
class LikeMatch
{
public:
    static bool matches(QByteArrayView pattern, QByteArrayView text);
};
