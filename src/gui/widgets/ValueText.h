#pragma once
#include <QLocale>
#include <QString>

// How the program writes a byte count for people: short in a grid or a
// chart ("5.0 GB"), exact where there is room ("5,368,709,120 bytes").
namespace ValueText {
QString bytes(double bytes, const QLocale &locale = QLocale());
QString exactBytes(double bytes, const QLocale &locale = QLocale());
QString count(qint64 n, const QLocale &locale = QLocale());
}
