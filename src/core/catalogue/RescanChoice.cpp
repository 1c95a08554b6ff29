#include "RescanChoice.h"
#include "Catalogue.h"
#include "CatalogueHosts.h"
#include "PendingFolders.h"

#include <QMap>

bool RescanChoice::isDue(const ScanRuns::Status *status, bool waiting) const
{
    if (waiting)
        return true;
    if (failedOnly && (!status || status->last.result == ScanRun::Result::Complete))
        return false;
    if (olderThanSecs) {
        const QDateTime complete = status ? status->lastComplete : QDateTime();
        if (complete.isValid() && complete.secsTo(now) < *olderThanSecs)
            return false;
    }
    return true;
}

QList<RescanChoice::Due> RescanChoice::due(Catalogue &catalogue) const
{
    catalogue.flush();
    const QSqlDatabase db = catalogue.database();
    const QHash<QString, ScanRuns::Status> status = ScanRuns(db).statusByHost();
    QMap<QString, QByteArray> hosts;
    for (const CatalogueHosts::Host &h : CatalogueHosts::all(catalogue))
        hosts.insert(h.name, QByteArray());
    for (auto it = status.cbegin(); it != status.cend(); ++it)
        hosts.insert(it.key(), it->last.startPath);
    QList<Due> due;
    for (auto it = hosts.cbegin(); it != hosts.cend(); ++it) {
        const auto s = status.constFind(it.key());
        if (isDue(s == status.cend() ? nullptr : &*s, PendingFolders::waiting(db, it.key()) > 0))
            due.append({it.key(), it.value(), s == status.cend() ? 0 : s->last.run});
    }
    return due;
}

bool RescanChoice::stillDue(Catalogue &catalogue, const Due &chosen) const
{
    const QSqlDatabase db = catalogue.database();
    const std::optional<ScanRun> last = ScanRuns(db).last(chosen.host);
    if ((last ? last->run : 0) != chosen.lastRun)
        return false;
    const QHash<QString, ScanRuns::Status> status = ScanRuns(db).statusByHost();
    const auto s = status.constFind(chosen.host);
    return isDue(s == status.cend() ? nullptr : &*s, PendingFolders::waiting(db, chosen.host) > 0);
}
