#include "FileEntry.h"

quint32 FileEntry::attributes() const
{
    switch (kind) {
    case Kind::Directory:
        return EntryAttr::Directory;
    case Kind::Link:
        return EntryAttr::Link;
    case Kind::LinkToDirectory:
        return EntryAttr::Link | EntryAttr::Directory;
    case Kind::File:
        break;
    }
    return EntryAttr::Normal;
}

FileEntry::Kind FileEntry::kindOf(quint32 attributes)
{
    if (attributes == EntryAttr::Directory)
        return Kind::Directory;
    if (attributes & EntryAttr::Link)
        return attributes & EntryAttr::Directory ? Kind::LinkToDirectory : Kind::Link;
    return Kind::File;
}
