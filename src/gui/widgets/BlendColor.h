#pragma once
#include <QColor>
#include <QtGlobal>

// Colours as the widget set stores them: 0x00BBGGRR, red in the low byte; a
// top byte of 0xFF names a system colour by the index in the low byte.
using TColor = quint32;

namespace SysColor {
constexpr TColor ButtonFace = 0xFF00000F;
constexpr TColor ButtonShadow = 0xFF000010;
constexpr TColor WindowFrame = 0xFF000006;
}

constexpr TColor rgbColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

// Step k of n from a (k = 0) to b (k = n), per channel, on the raw bytes:
// signed difference, 64-bit product, truncation toward zero, low 8 bits kept.
TColor BlendColor(TColor a, TColor b, quint32 k, quint32 n);

// What the colour looks like on screen: system colours from the palette.
QColor toQColor(TColor c);
