#pragma once
#include "SearchTerms.h"

#include <QDateTime>
#include <QString>

// A find as people give it: the texts of its terms, as typed ("700M",
// "30d"), so that a search kept for later reads its ages from the day it
// runs. Both programs keep and read it in this form.
struct SearchRequest
{
    QString pattern = QStringLiteral("%");
    bool regex = false;
    QString types; // "iso,img"; empty: every type
    QString minSize, maxSize, newer, older;
    QString host;
    QString under; // "host/a/b"
    SearchTerms::Kind kind = SearchTerms::Kind::Any;

    // One line of text, safe as a settings value.
    QString encode() const;
    static SearchRequest decode(const QString &text);
    // The terms read from the texts, or why they cannot be: the message
    // says which field is wrong.
    QString terms(SearchTerms &out, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    // How a list shows it: the pattern, then the terms given.
    QString label() const;

    bool operator==(const SearchRequest &) const = default;
};
