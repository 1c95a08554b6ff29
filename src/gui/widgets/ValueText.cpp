#include "ValueText.h"

#include <cmath>

QString ValueText::bytes(double bytes, const QLocale &locale)
{
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB"};
    if (std::abs(bytes) < 1024)
        return locale.toString(qint64(bytes)) + QStringLiteral(" B");
    int unit = -1;
    while (std::abs(bytes) >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    return locale.toString(bytes, 'f', 1) + u' ' + QLatin1String(units[unit]);
}

QString ValueText::exactBytes(double bytes, const QLocale &locale)
{
    // Sizes are whole numbers below 2^53: the double holds them exactly.
    return locale.toString(qint64(bytes)) + QStringLiteral(" bytes");
}

QString ValueText::count(qint64 n, const QLocale &locale)
{
    return locale.toString(n);
}
