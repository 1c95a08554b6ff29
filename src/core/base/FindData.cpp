#include "FindData.h"

#include <cstring>

void FindData::setName(const QString &name)
{
    QByteArray bytes = name.toUtf8();
    qsizetype len = qMin<qsizetype>(bytes.size(), sizeof(cFileName) - 1);
    // Never leave half a UTF-8 sequence at the cut.
    while (len > 0 && len < bytes.size() && (uchar(bytes[len]) & 0xC0) == 0x80)
        --len;
    std::memset(cFileName, 0, sizeof(cFileName));
    std::memcpy(cFileName, bytes.constData(), size_t(len));
}

QString FindData::name() const
{
    return QString::fromUtf8(cFileName, qsizetype(strnlen(cFileName, sizeof(cFileName))));
}

void FindData::setSize(quint64 bytes)
{
    nFileSizeHigh = quint32(bytes >> 32);
    nFileSizeLow = quint32(bytes & 0xFFFFFFFFu);
    sizeKnown = true;
}

void FindData::setTimes(quint64 fileTime)
{
    FileTime t{quint32(fileTime & 0xFFFFFFFFu), quint32(fileTime >> 32)};
    ftCreationTime = ftLastAccessTime = ftLastWriteTime = t;
}
