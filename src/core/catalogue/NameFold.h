#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Names as finds compare them: Unicode's full case folding, so that
// "ДОКУМЕНТЫ", "Документы" and "документы" fold alike, and so do "STRASSE"
// and "straße". Qt's toCaseFolded() gives the simple folding (one character
// to one); the characters whose full folding is longer (ß, ẞ, the Latin and
// Armenian ligatures, Greek with a breathing or an iota subscript, İ) are
// expanded from a table of Unicode's CaseFolding.txt, status F. Turkic
// folding (status T) is left out: I folds to i whatever the language. No
// normalisation: a name stored decomposed folds apart from its composed form.
// A LIKE pattern folds the same way; "%" and "_" are no letters and stay, and
// "_" stands for one character of the folded name ("straße" folds to seven).
class NameFold
{
public:
    static QString fold(const QString &text);
    // UTF-8 to folded UTF-8 in out, whose buffer is reused: an ASCII name,
    // the common case, costs no allocation once out has grown.
    static void foldUtf8(QByteArrayView utf8, QByteArray &out);
    // True when the pattern holds nothing but "%": it matches every name
    // alike, folded or not.
    static bool matchesAll(const QString &pattern);
};
