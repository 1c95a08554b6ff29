#include "SearchTermText.h"

#include <QRegularExpression>
#include <cmath>

std::optional<qint64> SearchTermText::size(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([kmgt]?)b?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QString unit = m.captured(2).toLower();
    const int power = unit.isEmpty() ? 0 : int(QStringLiteral("kmgt").indexOf(unit)) + 1;
    const double bytes = std::round(m.captured(1).toDouble() * std::pow(1024.0, power));
    // Above 2^63 no row can be: the catalogue keeps sizes up to 2^63 - 1.
    if (!(bytes < 9.2e18))
        return std::nullopt;
    return qint64(bytes);
}

QDateTime SearchTermText::time(const QString &text, const QDateTime &now)
{
    static const QRegularExpression age(QStringLiteral("^\\s*(\\d+)\\s*(min|h|d|w)\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = age.match(text); m.hasMatch()) {
        const qint64 n = m.captured(1).toLongLong();
        const QString unit = m.captured(2).toLower();
        const qint64 seconds = unit == u"min" ? 60 : unit == u"h" ? 3600 : unit == u"d" ? 86400 : 7 * 86400;
        return now.toUTC().addSecs(-n * seconds);
    }
    const QString t = text.trimmed();
    // QDate would read the date at the front of a whole time too.
    const QDate day = t.contains(u'T') ? QDate() : QDate::fromString(t, Qt::ISODate);
    if (day.isValid())
        return QDateTime(day, QTime(0, 0), Qt::UTC);
    QDateTime when = QDateTime::fromString(t, Qt::ISODate);
    // A time without a zone is taken as UTC, as the catalogue's are.
    if (when.isValid() && when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC);
    return when.toUTC();
}
