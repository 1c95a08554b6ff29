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

    // A listed name that can be a step of a path sent to the server: one
    // that holds "/" would name other folders, "." and ".." name the folder
    // itself and its parent, and a NUL, CR or LF would end the command early.
    static bool enterableName(QByteArrayView name)
    {
        return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0')
            && !name.contains('\r') && !name.contains('\n');
    }
    // Each step of path is such a name; "" is the top.
    static bool enterablePath(QByteArrayView path)
    {
        if (path.isEmpty())
            return true;
        for (qsizetype from = 0; from <= path.size();) {
            qsizetype slash = path.indexOf('/', from);
            if (slash < 0)
                slash = path.size();
            if (!enterableName(path.sliced(from, slash - from)))
                return false;
            from = slash + 1;
        }
        return true;
    }

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
