#include "EntryFields.h"

#include <cstring>
#include <limits>

EntryFields EntryFields::of(const FileEntry &entry)
{
    EntryFields f;
    f.attr = qint32(entry.attributes());
    f.split = EntryName::split(entry.name, quint32(f.attr));
    f.exact = exactBytes(entry);
    f.size = entry.sizeKnown && entry.size <= quint64(std::numeric_limits<qint64>::max()) ? qint64(entry.size) : 0;
    std::memcpy(&f.lac, &entry.time, sizeof f.lac);
    f.folder = entry.isDirectory();
    return f;
}

QByteArray EntryFields::exactBytes(const FileEntry &entry)
{
    return entry.wireName.isEmpty() ? entry.name.toUtf8() : entry.wireName;
}
