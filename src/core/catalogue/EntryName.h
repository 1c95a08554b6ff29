#pragma once
#include <QString>

// How a listed name becomes the catalogue's Name and ext fields.
struct EntryName
{
    static constexpr int NameSize = 80;
    static constexpr int ExtSize = 5;
    static inline const QString DirMarker = QStringLiteral("<DIR>");

    QString name;
    QString ext;

    static EntryName split(const QString &listedName, quint32 attributes);
    // Only A-Z change; other letters keep their case, as the catalogue always did.
    static QString lowerAsciiOnly(QString s);
    // The name as it stood on the server, as far as Name and ext can tell.
    QString fileName() const;
};
