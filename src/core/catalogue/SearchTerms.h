#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// What a find asks for, the same on every store and in every front end.
// Each term left as it is matches every row.
struct SearchTerms
{
    enum class Kind { Any, Files, Folders };

    // A LIKE pattern on the folded name ("%" any run, "_" one character),
    // or, with regex, a regular expression found anywhere in the name,
    // letters in either case.
    QString pattern = QStringLiteral("%");
    bool regex = false;
    // LIKE patterns on ext, any of which matches: "<DIR>" is a folder, ""
    // a file without a type. Empty: every type.
    QStringList types;
    std::optional<qint64> minSize, maxSize; // bytes, both bounds included
    // The listed time, UTC: after newer, before older. A row without a
    // listed time meets neither bound.
    QDateTime newer, older;
    // A host by name, or a LIKE pattern when it holds "%" or "_"; empty: every host.
    QString host;
    Kind kind = Kind::Any;

    static constexpr int MostRegexChars = 256;
};
