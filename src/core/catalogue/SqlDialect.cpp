#include "SqlDialect.h"

QString SqlDialect::asciiFolded(const QString &expression)
{
    return QStringLiteral("translate(%1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')").arg(expression);
}

QString SqlDialect::asciiLike(const QString &column, const QString &value)
{
    return QStringLiteral("%1 LIKE %2 ESCAPE ''").arg(asciiFolded(column), asciiFolded(value));
}
