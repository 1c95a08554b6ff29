#pragma once
#include <QStyledItemDelegate>

// How the grid shows the catalogue's columns, whatever query fills it: the
// model keeps the stored values, only their text changes.
// - Sizes, stored as floats, show in readable units, right-aligned, with the
//   exact bytes in the tooltip.
// - LAC, a time's bytes in a float, shows as the local date and time.
// - Other whole floats show without exponent (5368709120, not 5.36871e+09).
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    enum class Kind { Plain, Size, Time };
    static Kind kindOf(const QModelIndex &index);
    static QString text(Kind kind, const QVariant &value, const QLocale &locale);

    QString displayText(const QVariant &value, const QLocale &locale) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    // displayText() gets no index: the kind of the cell being drawn.
    mutable Kind m_kind = Kind::Plain;
};
