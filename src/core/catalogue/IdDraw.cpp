#include "IdDraw.h"

#include <chrono>

quint32 IdDraw::clockSeed()
{
    const auto ns = std::chrono::steady_clock::now().time_since_epoch().count();
    return quint32(quint64(ns) & 0xFFFFFFFFu);
}

qint32 IdDraw::draw(quint32 &state)
{
    state = state * 134775813u + 1u;
    const quint64 product = quint64(state) * 0xFFFFFFFFull;
    return qint32(quint32(product >> 32));
}
