#pragma once
#include "SearchTerms.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>

class PathSearch;
class QIODevice;

// A find's rows written out as they are found, however many: as CSV, the
// grid's columns with Path and an ISO date, or as a list of ftp://
// addresses, one a line, for a download tool.
class SearchExport
{
public:
    enum class Format { Csv, Urls };

    explicit SearchExport(PathSearch &search)
        : m_search(search)
    {
    }

    // False when out stops taking bytes. Throws CatalogueError.
    bool write(QIODevice &out, Format format, const SearchTerms &terms, const QString &under);
    qint64 written() const { return m_written; }
    // Rows below a folder missing from the catalogue: no address, so not
    // in a list of addresses.
    qint64 unaddressed() const { return m_unaddressed; }

    static QStringList csvHeader();
    // One CSV line, CRLF ended: a field holding a comma, a quote or a line
    // end is quoted, its quotes doubled.
    static QByteArray csvLine(const QVariantList &fields);

private:
    PathSearch &m_search;
    qint64 m_written = 0;
    qint64 m_unaddressed = 0;
};
