#include "ListedEntry.h"
#include "core/base/FindData.h"

quint32 ListedEntry::attributes() const
{
    switch (kind) {
    case Kind::Directory:
        return FindData::AttrDirectory;
    case Kind::Link:
        return FindData::AttrReparsePoint;
    case Kind::LinkToDirectory:
        return FindData::AttrReparsePoint | FindData::AttrDirectory;
    case Kind::File:
        break;
    }
    return FindData::AttrNormal;
}
