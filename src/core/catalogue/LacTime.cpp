#include "LacTime.h"

#include <cstring>

namespace {
// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr qint64 EpochOffsetMs = 11644473600000LL;
}

quint64 LacTime::fileTime(double lac)
{
    quint64 bits;
    std::memcpy(&bits, &lac, sizeof bits);
    return bits;
}

QDateTime LacTime::toDateTime(double lac)
{
    const quint64 ft = fileTime(lac);
    if (ft == 0)
        return QDateTime();
    const qint64 ms = qint64(ft / 10000) - EpochOffsetMs;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

double LacTime::fromDateTime(const QDateTime &when)
{
    if (!when.isValid())
        return 0;
    const quint64 ft = quint64(when.toMSecsSinceEpoch() + EpochOffsetMs) * 10000;
    double lac;
    std::memcpy(&lac, &ft, sizeof lac);
    return lac;
}

QString LacTime::text(double lac)
{
    const QDateTime t = toDateTime(lac);
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}
