#pragma once
#include "ListedEntry.h"

#include <QDateTime>
#include <optional>

// Turns one listing line into an entry. Lines that describe no entry (".",
// "..", MLSD cdir/pdir, "total N") and lines that cannot be parsed give
// nothing; isNoise() tells the two apart so the caller can count the bad ones.
class ListingParser
{
public:
    enum class Format { Mlsd, List };

    // now: the reference for ls dates that carry no year.
    explicit ListingParser(Format format, QDateTime now = QDateTime::currentDateTimeUtc())
        : m_format(format)
        , m_now(std::move(now))
    {
    }

    std::optional<ListedEntry> parse(const QByteArray &line) const;
    static bool isNoise(const QByteArray &line);

    static std::optional<ListedEntry> parseMlsd(const QByteArray &line);
    std::optional<ListedEntry> parseUnix(const QByteArray &line) const;
    static std::optional<ListedEntry> parseWindows(const QByteArray &line);
    static std::optional<ListedEntry> parseEplf(const QByteArray &line);
    static std::optional<quint64> parseSize(const QByteArray &digits);

private:
    Format m_format;
    QDateTime m_now;
};
