#include "ListingFields.h"

#include <cmath>
#include <limits>

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// "9,730" or "1.234.567": every group after the first has three digits, so
// "1.5" never passes for fifteen.
std::optional<quint64> groupedDigits(const QByteArray &text)
{
    const char sep = text.contains(',') ? ',' : text.contains('\'') ? '\'' : '.';
    const QList<QByteArray> groups = text.split(sep);
    if (groups.size() < 2 || groups.first().isEmpty() || groups.first().size() > 3)
        return std::nullopt;
    for (qsizetype i = 1; i < groups.size(); ++i) {
        if (groups[i].size() != 3)
            return std::nullopt;
    }
    return ListingFields::plainDigits(QByteArray(text).replace(sep, QByteArray()));
}

std::optional<quint64> suffixed(QByteArray text)
{
    if (text.endsWith('B') || text.endsWith('b'))
        text.chop(1);
    if (text.isEmpty())
        return std::nullopt;
    static const QByteArray units = "KMGT";
    char last = text.back();
    if (last >= 'a' && last <= 'z')
        last = char(last - 'a' + 'A');
    const qsizetype unit = units.indexOf(last);
    if (unit < 0)
        return std::nullopt;
    text.chop(1);
    const QByteArray number = QByteArray(text).replace(',', '.');
    if (number.isEmpty() || number.size() > 12 || number.count('.') > 1 || number.startsWith('.'))
        return std::nullopt;
    for (char c : number) {
        if (c != '.' && (c < '0' || c > '9'))
            return std::nullopt;
    }
    const double v = number.toDouble() * std::pow(1024.0, double(unit + 1));
    if (!(v < 9.2e18))
        return std::nullopt;
    return quint64(v + 0.5);
}
} // namespace

ListingFields::ListingFields(const QByteArray &line)
    : m_line(line)
{
    m_spans.reserve(12);
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            m_spans.append({start, i});
    }
}

QByteArray ListingFields::operator[](qsizetype i) const
{
    if (i < 0 || i >= m_spans.size())
        return {};
    return m_line.mid(m_spans[i].begin, m_spans[i].end - m_spans[i].begin);
}

QByteArray ListingFields::afterField(qsizetype i) const
{
    if (i < 0 || i >= m_spans.size() || m_spans[i].end + 1 >= m_line.size())
        return {};
    return m_line.mid(m_spans[i].end + 1);
}

QByteArray ListingFields::fromField(qsizetype i) const
{
    if (i < 0 || i >= m_spans.size())
        return {};
    return m_line.mid(m_spans[i].begin);
}

std::optional<quint64> ListingFields::plainDigits(QByteArrayView digits)
{
    if (!allDigits(digits) || digits.size() > 20)
        return std::nullopt;
    quint64 v = 0;
    for (const char c : digits) {
        const unsigned digit = unsigned(c - '0');
        // Past 2^63 - 1 the catalogue cannot hold the size exactly.
        if (v > (quint64(std::numeric_limits<qint64>::max()) - digit) / 10)
            return std::nullopt;
        v = v * 10 + digit;
    }
    return v;
}

bool ListingFields::allDigits(QByteArrayView s)
{
    if (s.isEmpty())
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int ListingFields::number(const QByteArray &digits)
{
    if (!allDigits(digits) || digits.size() > 9)
        return -1;
    return digits.toInt();
}

std::optional<quint64> ListingFields::size(const QByteArray &text)
{
    if (const auto v = plainDigits(text))
        return v;
    if (text.isEmpty() || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    if (const auto v = groupedDigits(text))
        return v;
    return suffixed(text);
}
