#pragma once
#include "core/ftp/ListingSignature.h"

#include <QHash>
#include <QtGlobal>

// Tells a folder that lists what a folder above it lists. Servers that
// follow links list "self -> ." as the folder itself and "up -> .." as its
// parent, over and over down a tree without end, and a listing without
// "unique" facts shows nothing else of it. Keeps a signature of each folder
// listed while subfolders of it wait to be listed, and which folder each
// waiting one is in, by catalogue row ID: never a listing, never a path.
class LoopGuard
{
public:
    void clear() { m_folders.clear(); }
    // child, a subfolder of parent, is to be listed.
    void add(qint32 parent, qint32 child);
    // folder was listed: 0 when no folder above it lists the same, else how
    // many levels up the nearest that does is. A folder the guard was not
    // told of (the top) has none above it. tolerated: how many folders on
    // the way down from the top may list as one above them before one is
    // taken for a loop (see WalkContext: listings whose times are only to
    // the minute or the day make real trees of one shape look alike).
    int listed(qint32 folder, const ListingSignature &signature, int tolerated = 0);
    // Every subfolder of folder that is to be listed has been added, or
    // none will be (a loop): once none of them waits, it is forgotten.
    void settle(qint32 folder);
    // folder will not be listed after all (passed over).
    void drop(qint32 folder);
    // Folders held: those on the way down to the ones that wait, and those.
    qsizetype size() const { return m_folders.size(); }

private:
    static constexpr qint32 None = -1;
    struct Folder
    {
        ListingSignature signature; // invalid until listed
        qint32 parent = None;
        int waiting = 0; // subfolders added and not yet settled or dropped
        int repeats = 0; // folders on the way down to this one, itself included, that listed as one above them
    };

    void forget(qint32 folder);
    int sameAbove(qint32 parent, const ListingSignature &signature) const;

    QHash<qint32, Folder> m_folders;
};
