#pragma once
#include "ListingMethod.h"

#include <QByteArray>
#include <QByteArrayView>

// One folder to list and how.
struct ListingRequest
{
    ListingMethod method = ListingMethod::List;
    // The names' original bytes joined by "/", "" for the top level.
    QByteArray path;
    // "MLSD /path" instead of CWD and MLSD, where the server is known to
    // list the same both ways. Only passive listings that go out together
    // with EPSV take it.
    bool pathForm = false;

    bool sendsPathForm() const { return method == ListingMethod::Mlsd && pathForm && plainPath(path); }

    // Names a server could take for a pattern or trim stay with the CWD form.
    static bool plainPath(const QByteArray &path)
    {
        for (const char c : path) {
            if (uchar(c) < 0x21 || c == 0x7f || QByteArrayView("*?[]{}~\\").contains(c))
                return false;
        }
        return true;
    }
};
