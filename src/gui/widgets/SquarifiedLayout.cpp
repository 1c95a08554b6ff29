#include "SquarifiedLayout.h"

#include <algorithm>

namespace {
// The worst aspect ratio in a row of areas with this sum laid along side.
double worst(double sum, double smallest, double largest, double side)
{
    const double s2 = sum * sum;
    const double w2 = side * side;
    return std::max(w2 * largest / s2, s2 / (w2 * smallest));
}

// Lays areas [first, last) as one strip at the rectangle's shorter edge and
// returns what is left of it.
QRectF placeRow(const QList<double> &areas, qsizetype first, qsizetype last, double sum, const QRectF &free,
                QList<QRectF> &out)
{
    if (free.width() >= free.height()) {
        const double w = free.height() > 0 ? sum / free.height() : 0;
        double y = free.top();
        for (qsizetype i = first; i < last; ++i) {
            const double h = w > 0 ? areas[i] / w : 0;
            out[i] = QRectF(free.left(), y, w, h);
            y += h;
        }
        return free.adjusted(w, 0, 0, 0);
    }
    const double h = free.width() > 0 ? sum / free.width() : 0;
    double x = free.left();
    for (qsizetype i = first; i < last; ++i) {
        const double w = h > 0 ? areas[i] / h : 0;
        out[i] = QRectF(x, free.top(), w, h);
        x += w;
    }
    return free.adjusted(0, h, 0, 0);
}
} // namespace

QList<QRectF> SquarifiedLayout::layout(const QList<double> &values, const QRectF &area)
{
    QList<QRectF> out(values.size());
    double total = 0;
    for (double v : values)
        total += std::max(v, 0.0);
    if (total <= 0 || area.isEmpty())
        return out;
    const double scale = area.width() * area.height() / total;
    QList<double> areas;
    QList<qsizetype> order; // positive values only, largest first
    for (qsizetype i = 0; i < values.size(); ++i) {
        areas.append(std::max(values[i], 0.0) * scale);
        if (values[i] > 0)
            order.append(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return areas[a] > areas[b]; });
    QList<double> sorted;
    for (qsizetype i : order)
        sorted.append(areas[i]);
    QList<QRectF> placed(sorted.size());
    QRectF free = area;
    qsizetype first = 0;
    while (first < sorted.size()) {
        const double side = std::min(free.width(), free.height());
        double sum = sorted[first], smallest = sorted[first], largest = sorted[first];
        qsizetype last = first + 1;
        for (; last < sorted.size(); ++last) {
            const double a = sorted[last];
            if (worst(sum + a, std::min(smallest, a), largest, side) > worst(sum, smallest, largest, side))
                break;
            sum += a;
            smallest = std::min(smallest, a);
        }
        free = placeRow(sorted, first, last, sum, free, placed);
        first = last;
    }
    for (qsizetype k = 0; k < order.size(); ++k)
        out[order[k]] = placed[k];
    return out;
}
