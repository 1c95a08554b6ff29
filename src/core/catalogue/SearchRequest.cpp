#include "SearchRequest.h"
#include "SearchStatement.h"
#include "SearchTermText.h"

#include <QHash>
#include <QStringList>

namespace {
const char *kindText(SearchTerms::Kind kind)
{
    return kind == SearchTerms::Kind::Files ? "files" : kind == SearchTerms::Kind::Folders ? "folders" : "";
}

// The texts with their keys, in the order a label lists them.
QList<std::pair<QString, QString>> fields(const SearchRequest &r)
{
    return {{QStringLiteral("type"), r.types},      {QStringLiteral("min-size"), r.minSize},
            {QStringLiteral("max-size"), r.maxSize}, {QStringLiteral("newer"), r.newer},
            {QStringLiteral("older"), r.older},     {QStringLiteral("host"), r.host},
            {QStringLiteral("under"), r.under},     {QStringLiteral("only"), QLatin1String(kindText(r.kind))}};
}
} // namespace

// Every text percent-encoded: "=", "&", "%" and line ends cannot break the
// settings file's key=value lines or this text's own pairs.
QString SearchRequest::encode() const
{
    QStringList pairs{QStringLiteral("pattern=") + QString::fromLatin1(pattern.toUtf8().toPercentEncoding())};
    if (regex)
        pairs << QStringLiteral("regex=1");
    for (const auto &[key, value] : fields(*this)) {
        if (!value.isEmpty())
            pairs << key + u'=' + QString::fromLatin1(value.toUtf8().toPercentEncoding());
    }
    return pairs.join(u'&');
}

SearchRequest SearchRequest::decode(const QString &text)
{
    QHash<QString, QString> values;
    for (const QString &pair : text.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0)
            values.insert(pair.left(eq), QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1).toLatin1())));
    }
    SearchRequest r;
    r.pattern = values.value(QStringLiteral("pattern"), r.pattern);
    r.regex = values.contains(QStringLiteral("regex"));
    r.types = values.value(QStringLiteral("type"));
    r.minSize = values.value(QStringLiteral("min-size"));
    r.maxSize = values.value(QStringLiteral("max-size"));
    r.newer = values.value(QStringLiteral("newer"));
    r.older = values.value(QStringLiteral("older"));
    r.host = values.value(QStringLiteral("host"));
    r.under = values.value(QStringLiteral("under"));
    const QString only = values.value(QStringLiteral("only"));
    r.kind = only == u"files" ? SearchTerms::Kind::Files : only == u"folders" ? SearchTerms::Kind::Folders : SearchTerms::Kind::Any;
    return r;
}

QString SearchRequest::terms(SearchTerms &out, const QDateTime &now) const
{
    SearchTerms t;
    t.pattern = pattern;
    t.regex = regex;
    if (!types.trimmed().isEmpty() && types.trimmed() != u"ALL")
        t.types = types.split(u',');
    t.host = host.trimmed();
    t.kind = kind;
    for (const auto &[text, bound] : {std::pair{&minSize, &t.minSize}, std::pair{&maxSize, &t.maxSize}}) {
        if (text->trimmed().isEmpty())
            continue;
        *bound = SearchTermText::size(*text);
        if (!*bound)
            return QStringLiteral("\"%1\" is no size: give one such as 700M or 5G").arg(*text);
    }
    for (const auto &[text, bound] : {std::pair{&newer, &t.newer}, std::pair{&older, &t.older}}) {
        if (text->trimmed().isEmpty())
            continue;
        *bound = SearchTermText::time(*text, now);
        if (!bound->isValid())
            return QStringLiteral("\"%1\" is no time: give a date (2024-01-31) or an age (30d, 12h, 2w)").arg(*text);
    }
    if (const QString why = SearchStatement::problem(t); !why.isEmpty())
        return why;
    out = t;
    return QString();
}

QString SearchRequest::label() const
{
    QString text = pattern + (regex ? QStringLiteral(" (regex)") : QString());
    for (const auto &[key, value] : fields(*this)) {
        if (!value.isEmpty())
            text += QStringLiteral("  %1 %2").arg(key, value);
    }
    return text;
}
