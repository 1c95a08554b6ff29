#include "SearchExport.h"
#include "LacTime.h"
#include "PathSearch.h"

#include <QIODevice>

namespace {
QByteArray csvField(const QVariant &value)
{
    if (value.isNull())
        return QByteArray();
    // Sizes as exact integers: a double would print 1.5e+10.
    QByteArray text = value.typeId() == QMetaType::Double && value.toDouble() == double(qint64(value.toDouble()))
                          ? QByteArray::number(qint64(value.toDouble()))
                          : value.toString().toUtf8();
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    return '"' + text.replace("\"", "\"\"") + '"';
}

QVariant dateValue(double lac)
{
    const QDateTime t = LacTime::toDateTime(lac);
    return t.isValid() ? QVariant(t.toUTC().toString(Qt::ISODate)) : QVariant();
}
} // namespace

QStringList SearchExport::csvHeader()
{
    return PathSearch::fieldNames() + QStringList{QStringLiteral("Path"), QStringLiteral("Date")};
}

QByteArray SearchExport::csvLine(const QVariantList &fields)
{
    QByteArrayList line;
    for (const QVariant &f : fields)
        line << csvField(f);
    return line.join(',') + "\r\n";
}

bool SearchExport::write(QIODevice &out, Format format, const SearchTerms &terms, const QString &under)
{
    m_written = m_unaddressed = 0;
    bool ok = true;
    if (format == Format::Csv) {
        const QStringList names = csvHeader();
        if (out.write(csvLine(QVariantList(names.cbegin(), names.cend()))) < 0)
            return false;
    }
    // The LAC column keeps its stored value, a double the grid shows as is;
    // Date says it for people.
    m_search.find(terms, under, 0, [&](const PathSearch::Hit &hit) {
        const CatalogueRecord &r = hit.row;
        QByteArray line;
        if (format == Format::Csv) {
            line = csvLine({r.name, r.ext, r.size, r.host, r.attr, hit.lac, r.id, r.pid, hit.path, dateValue(hit.lac)});
        } else if (const QByteArray url = m_search.url(hit); !url.isEmpty()) {
            line = url + '\n';
        } else {
            ++m_unaddressed;
            return true;
        }
        ok = out.write(line) == line.size();
        m_written += ok ? 1 : 0;
        return ok;
    });
    return ok;
}
