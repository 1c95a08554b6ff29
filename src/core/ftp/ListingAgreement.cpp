#include "ListingAgreement.h"
#include "ServerClock.h"
#include "core/base/ListedTime.h"

#include <QHash>
#include <algorithm>

namespace {
// Folders' sizes are the server's block counts in ls and absent or a
// "sizd" in MLSD: only files' sizes are compared. ls marks a link with "l";
// some servers' MLSD (pyftpdlib's) describe its target instead, size and
// time included: there ls tells more, and a link is compared by name only.
bool sameEntry(const FileEntry &exact, const FileEntry &local)
{
    if (local.isLink())
        return true;
    if (exact.isLink() || exact.kind != local.kind)
        return false;
    if (exact.kind == FileEntry::Kind::File && (exact.sizeKnown != local.sizeKnown || exact.size != local.size))
        return false;
    return ListedTime::same(exact.time, local.time);
}
} // namespace

bool ListingAgreement::agrees(const FtpListing &mlsd, const FtpListing &local, int offsetS)
{
    if (!mlsd.ok || !local.ok || mlsd.badLines || local.badLines || mlsd.entries.size() != local.entries.size())
        return false;
    FtpListing shifted = local;
    ServerClock::shift(shifted, offsetS);
    QHash<QByteArray, const FileEntry *> byName;
    for (const FileEntry &e : mlsd.entries)
        byName.insert(e.wireName, &e);
    for (const FileEntry &e : std::as_const(shifted.entries)) {
        const FileEntry *exact = byName.value(e.wireName);
        if (!exact || !sameEntry(*exact, e))
            return false;
    }
    return byName.size() == mlsd.entries.size();
}

bool ListingAgreement::sizesFolders(const FtpListing &mlsd)
{
    return std::any_of(mlsd.entries.cbegin(), mlsd.entries.cend(),
                       [](const FileEntry &e) { return e.isDirectory() && e.sizeKnown; });
}
