#pragma once
#include "ListingMethod.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// How a server was found to list, kept for the host between scans: the
// next log-on to the same server lists the top folder that way at once,
// without comparing methods again (three round trips or more a scan). The
// server's FEAT and SYST replies sign the choice: once they change (a new
// version, other settings) the methods are compared afresh.
struct ListingChoice
{
    ListingMethod method = ListingMethod::List;
    QList<ListingMethod> supported;
    int clockOffsetS = 0;
    bool folderSizes = true;
    QByteArray signature; // of the FEAT and SYST replies

    // One line for the settings file: "STAT -a .|MLSD,LIST,STAT -a .|19800|1|SIGNATURE".
    QString text() const;
    // None for text that is not a choice this version wrote.
    static std::optional<ListingChoice> fromText(const QString &text);
    bool operator==(const ListingChoice &) const = default;
};
