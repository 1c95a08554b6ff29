#pragma once
#include <QStringList>
#include <QVariantList>
#include <cstdio>

// Results on standard output: tab-separated lines with a header line of
// field names, or CSV, or one JSON array of objects.
class ResultWriter
{
public:
    enum class Format { Tsv, Csv, Json };

    explicit ResultWriter(Format format, FILE *out = stdout)
        : m_format(format)
        , m_out(out)
    {
    }
    ~ResultWriter();

    static bool parseFormat(const QString &text, Format &format);
    void header(const QStringList &fields);
    void row(const QVariantList &values);
    // Closes the JSON array; called by the destructor too.
    void finish();

private:
    static QString tsvField(const QVariant &v);
    static QString csvField(const QVariant &v);
    void write(const QString &text);

    Format m_format;
    FILE *m_out;
    QStringList m_fields;
    int m_rows = 0;
    bool m_finished = false;
};
