#include "GridDelegate.h"

#include <cmath>

QString GridDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (std::abs(d) < 9.0e15 && d == std::floor(d))
            return QString::number(qint64(d));
    }
    return QStyledItemDelegate::displayText(value, locale);
}
