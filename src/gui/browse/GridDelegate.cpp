#include "GridDelegate.h"
#include "core/catalogue/LacTime.h"
#include "widgets/ValueText.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>
#include <cmath>

GridDelegate::Kind GridDelegate::kindOf(const QModelIndex &index)
{
    if (!index.isValid())
        return Kind::Plain;
    const QString name = index.model()->headerData(index.column(), Qt::Horizontal).toString();
    if (name.compare(QLatin1String("Size"), Qt::CaseInsensitive) == 0)
        return Kind::Size;
    if (name.compare(QLatin1String("LAC"), Qt::CaseInsensitive) == 0)
        return Kind::Time;
    return Kind::Plain;
}

QString GridDelegate::text(Kind kind, const QVariant &value, const QLocale &locale)
{
    if (value.isNull())
        return QString();
    const bool isNumber = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong
                          || value.typeId() == QMetaType::Int;
    if (kind == Kind::Size && isNumber)
        return ValueText::bytes(value.toDouble(), locale);
    if (kind == Kind::Time && value.typeId() == QMetaType::Double)
        return LacTime::text(value.toDouble());
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (std::abs(d) < 9.0e15 && d == std::floor(d))
            return QString::number(qint64(d));
    }
    return QString();
}

QString GridDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    const QString t = text(m_kind, value, locale);
    if (!t.isNull() || value.isNull())
        return t;
    return QStyledItemDelegate::displayText(value, locale);
}

void GridDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    m_kind = kindOf(index);
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_kind == Kind::Size)
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
}

bool GridDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                             const QModelIndex &index)
{
    const QVariant value = index.data();
    if (event->type() != QEvent::ToolTip || kindOf(index) != Kind::Size || value.isNull())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), ValueText::exactBytes(value.toDouble()), view);
    return true;
}
