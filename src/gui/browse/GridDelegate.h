#pragma once
#include <QStyledItemDelegate>

// Sizes are stored as floats: whole numbers show as whole numbers, not in
// exponent form (5368709120, not 5.36871e+09).
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &locale) const override;
};
