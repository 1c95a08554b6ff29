#pragma once
#include <QByteArray>
#include <QDateTime>

// One entry as a listing line describes it, before the name is decoded.
struct ListedEntry
{
    enum class Kind { File, Directory, Link, LinkToDirectory };

    QByteArray name;
    Kind kind = Kind::File;
    bool sizeKnown = false;
    quint64 size = 0;
    QDateTime modified; // UTC; invalid when the line gives none
    QByteArray unique;  // MLSD "unique" or EPLF "i" fact

    quint32 attributes() const;
};
