#pragma once
#include <optional>
#include <QDateTime>
#include <QList>
#include <QString>

class Catalogue;

// The hosts the catalogue holds rows of, each with what it holds and when
// it was last scanned, as the browser's host list offers them.
class CatalogueHosts
{
public:
    struct Host
    {
        QString name; // as stored: the first Catalogue::HostSize characters
        qint64 entries = 0;
        double bytes = 0; // files only; unknown sizes count as 0
        QDateTime lastScan; // UTC; invalid when no run of it is recorded
        QString lastResult; // how that run ended ("complete", "unreachable"); "" when not recorded
    };

    // By name. One pass over the rows. Throws CatalogueError.
    static QList<Host> all(Catalogue &catalogue);
    // A value that changes whenever the catalogue may have: a commit by any
    // connection, or a change by this one. Empty where the store cannot
    // tell (PostgreSQL): read the hosts again each time.
    static std::optional<QByteArray> version(Catalogue &catalogue);
    // Whether any row of host is stored. Throws CatalogueError.
    static bool holds(Catalogue &catalogue, const QString &host);
};
