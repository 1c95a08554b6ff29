#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The catalogue's Attr values, as stored catalogues hold them.
namespace EntryAttr {
constexpr quint32 Directory = 16;
constexpr quint32 Normal = 128;
constexpr quint32 Link = 1024;
} // namespace EntryAttr

// One entry of a folder's listing, decoded once: what the scanner walks and
// the catalogue stores.
struct FileEntry
{
    enum class Kind : quint8 { File, Directory, Link, LinkToDirectory };

    QByteArray wireName; // the name's bytes as listed: commands and exact matches use these
    QString name;        // decoded, control characters shown as visible symbols
    Kind kind = Kind::File;
    bool sizeKnown = true; // false: the listing's size was not a valid number
    quint64 size = 0;      // bytes
    quint64 time = 0;      // 100 ns units since 1601 (the catalogue's LAC); 0: none given
    QByteArray unique;     // MLSD "unique" or EPLF "i" fact, where the server gives one

    bool isDirectory() const { return kind == Kind::Directory; }
    bool isLink() const { return kind == Kind::Link || kind == Kind::LinkToDirectory; }
    // A folder, or a link the server says leads to one.
    bool opensAsFolder() const { return kind == Kind::Directory || kind == Kind::LinkToDirectory; }
    // The catalogue's Attr field for the kind.
    quint32 attributes() const;
    static Kind kindOf(quint32 attributes);
};
