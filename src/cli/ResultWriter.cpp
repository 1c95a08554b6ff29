#include "ResultWriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

ResultWriter::~ResultWriter()
{
    finish();
}

bool ResultWriter::parseFormat(const QString &text, Format &format)
{
    if (text == QLatin1String("tsv"))
        format = Format::Tsv;
    else if (text == QLatin1String("csv"))
        format = Format::Csv;
    else if (text == QLatin1String("json"))
        format = Format::Json;
    else
        return false;
    return true;
}

void ResultWriter::write(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
}

// Tabs and line breaks inside a value would break the columns.
QString ResultWriter::tsvField(const QVariant &v)
{
    QString s = v.isNull() ? QString() : v.toString();
    s.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
    return s;
}

QString ResultWriter::csvField(const QVariant &v)
{
    QString s = v.isNull() ? QString() : v.toString();
    if (s.contains(u',') || s.contains(u'"') || s.contains(u'\n') || s.contains(u'\r')) {
        s.replace(u'"', QStringLiteral("\"\""));
        s = u'"' + s + u'"';
    }
    return s;
}

void ResultWriter::header(const QStringList &fields)
{
    m_fields = fields;
    if (m_format == Format::Json) {
        write(QStringLiteral("["));
        return;
    }
    write(fields.join(m_format == Format::Tsv ? u'\t' : u',') + u'\n');
}

void ResultWriter::row(const QVariantList &values)
{
    QStringList cells;
    switch (m_format) {
    case Format::Tsv:
        for (const QVariant &v : values)
            cells << tsvField(v);
        write(cells.join(u'\t') + u'\n');
        break;
    case Format::Csv:
        for (const QVariant &v : values)
            cells << csvField(v);
        write(cells.join(u',') + u'\n');
        break;
    case Format::Json: {
        QJsonObject o;
        for (int i = 0; i < values.size() && i < m_fields.size(); ++i)
            o.insert(m_fields[i], QJsonValue::fromVariant(values[i]));
        write((m_rows ? QStringLiteral(",\n") : QStringLiteral("\n"))
              + QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    }
    }
    ++m_rows;
}

void ResultWriter::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_format == Format::Json && !m_fields.isEmpty())
        write(QStringLiteral("\n]\n"));
    std::fflush(m_out);
}
