#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// The blank-separated words of one listing line, with where each stands, so
// that a name is cut from the line itself and keeps its exact bytes.
class ListingFields
{
public:
    explicit ListingFields(const QByteArray &line);

    qsizetype count() const { return m_spans.size(); }
    QByteArray operator[](qsizetype i) const;
    qsizetype begin(qsizetype i) const { return m_spans[i].begin; }
    qsizetype end(qsizetype i) const { return m_spans[i].end; }
    qsizetype length(qsizetype i) const { return i < count() ? m_spans[i].end - m_spans[i].begin : 0; }
    // ls-style: the name starts after the one blank that follows field i,
    // so leading, inner and trailing blanks of the name survive.
    QByteArray afterField(qsizetype i) const;
    // Column-style: the name starts at field i's first byte.
    QByteArray fromField(qsizetype i) const;
    const QByteArray &line() const { return m_line; }

    // Exact digits, digits with "," "." "'" between groups of three, or a
    // decimal with a k/M/G/T suffix (powers of 1024, as ls -h prints).
    static std::optional<quint64> size(const QByteArray &text);
    // 1 to 20 digits up to 2^63 - 1, read in place: MLSD sizes come here
    // once per entry.
    static std::optional<quint64> plainDigits(QByteArrayView digits);
    static bool allDigits(QByteArrayView s);
    static int number(const QByteArray &digits); // -1 unless 1..9 digits

private:
    struct Span
    {
        qsizetype begin;
        qsizetype end;
    };
    QByteArray m_line;
    QList<Span> m_spans;
};
