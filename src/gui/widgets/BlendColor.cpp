#include "BlendColor.h"

#include <QGuiApplication>
#include <QPalette>

TColor BlendColor(TColor a, TColor b, quint32 k, quint32 n)
{
    TColor out = 0;
    for (int shift : {0, 8, 16}) {
        const qint64 ac = (a >> shift) & 0xFF;
        const qint64 bc = (b >> shift) & 0xFF;
        const qint64 v = ac - ((ac - bc) * qint64(k)) / qint64(n);
        out |= (TColor(quint64(v)) & 0xFF) << shift;
    }
    return out;
}

QColor toQColor(TColor c)
{
    if ((c >> 24) == 0xFF) {
        const QPalette pal = QGuiApplication::palette();
        switch (c & 0xFF) {
        case 0x0F:
            return pal.color(QPalette::Button);
        case 0x10:
            return pal.color(QPalette::Dark);
        case 0x06:
            return QColor(Qt::black);
        default:
            return pal.color(QPalette::WindowText);
        }
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
