#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A 64-bit count of 100-ns intervals since 1 January 1601, low word first.
struct FileTime
{
    quint32 dwLowDateTime = 0;
    quint32 dwHighDateTime = 0;
};

// One directory entry of a listing, in the classic find-data layout the
// catalogue was designed around, plus what the FTP client needs to go back
// to the server (the name's original bytes) and to avoid listing a folder
// twice (the MLSD "unique" fact).
struct FindData
{
    static constexpr quint32 AttrDirectory = 16;
    static constexpr quint32 AttrNormal = 128;
    static constexpr quint32 AttrReparsePoint = 1024;

    quint32 dwFileAttributes = 0;
    FileTime ftCreationTime;
    FileTime ftLastAccessTime;
    FileTime ftLastWriteTime;
    quint32 nFileSizeHigh = 0;
    quint32 nFileSizeLow = 0;
    char cFileName[260] = {};
    char cAlternateFileName[14] = {};

    // False when the listing's size was not a valid number: stored as unknown.
    bool sizeKnown = true;
    QByteArray wireName;
    QByteArray unique;

    // Stores the name as UTF-8, cut at a character boundary to fit with its NUL.
    void setName(const QString &name);
    QString name() const;
    void setSize(quint64 bytes);
    quint64 size() const { return (quint64(nFileSizeHigh) << 32) | nFileSizeLow; }
    // FTP listings carry one time: it fills all three.
    void setTimes(quint64 fileTime);
    bool isDirectory() const { return dwFileAttributes == AttrDirectory; }
};
