#pragma once
#include "ListedEntry.h"

#include <QByteArrayList>
#include <QDateTime>
#include <optional>

// Reads listing lines from every kind of server this program meets. One
// function, classify(), decides what a line is: an entry, noise every
// listing carries ("total 12", headers, ".", ".."), or a line no parser can
// read, which the caller counts and reports.
class ListingParser
{
public:
    enum class Format { Mlsd, List };
    // The server's system as SYST names it, where it settles a line shape
    // that would otherwise be ambiguous; Any reads each line by its shape.
    enum class Family { Any, Vms, Mvs, Os400, WindowsNt };

    struct Line
    {
        enum class Kind { Entry, Noise, Unreadable };
        Kind kind = Kind::Unreadable;
        ListedEntry entry;
    };

    struct Parsed
    {
        QList<ListedEntry> entries;
        int unreadable = 0;
        int partial = 0; // entries stored with a field unknown
        QByteArrayList samples; // the first SampleCount unreadable lines
    };
    static constexpr int SampleCount = 3;

    // now: the reference for ls dates that carry no year.
    explicit ListingParser(Format format, Family family = Family::Any,
                           QDateTime now = QDateTime::currentDateTimeUtc());

    static Family familyFromSyst(const QByteArray &systReply);

    Line classify(const QByteArray &line) const;
    // A whole listing: line ends stripped, VMS entries wrapped over two
    // lines joined, every line classified.
    Parsed parseListing(QByteArrayList lines) const;
    // The entry a line describes, if any (noise and unreadable give none).
    std::optional<ListedEntry> parse(const QByteArray &line) const;
    static bool isNoise(const QByteArray &line);

private:
    std::optional<ListedEntry> parseList(const QByteArray &line) const;
    std::optional<ListedEntry> byFamily(const QByteArray &line) const;
    std::optional<ListedEntry> byShape(const QByteArray &line) const;

    Format m_format;
    Family m_family;
    QDateTime m_now;
};
