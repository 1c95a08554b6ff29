#include "ElidedText.h"

QString ElidedText::middle(const QString &text, qsizetype keep)
{
    if (text.size() <= 2 * keep + 1)
        return text;
    qsizetype head = keep;
    if (head > 0 && text.at(head - 1).isHighSurrogate())
        --head;
    qsizetype tail = text.size() - keep;
    if (tail < text.size() && text.at(tail).isLowSurrogate())
        ++tail;
    return text.left(head) + QChar(0x2026) + text.mid(tail);
}
