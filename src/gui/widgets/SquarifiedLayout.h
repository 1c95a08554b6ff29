#pragma once
#include <QList>
#include <QRectF>

// Squarified treemap layout: splits an area into one rectangle per value,
// each with an area proportional to its value, in rows laid along the
// shorter side and kept as close to square as the values allow. Values are
// best given largest first; zero or negative values get an empty rectangle.
namespace SquarifiedLayout {
QList<QRectF> layout(const QList<double> &values, const QRectF &area);
}
