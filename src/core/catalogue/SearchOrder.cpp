#include "SearchOrder.h"
#include "CatalogueRecord.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
constexpr std::pair<const char *, SearchOrder::Key> Words[] = {
    {"name", SearchOrder::Key::Name}, {"size", SearchOrder::Key::Size}, {"date", SearchOrder::Key::Date},
    {"path", SearchOrder::Key::Path}, {"host", SearchOrder::Key::Host}};

const char *wordOf(SearchOrder::Key key)
{
    for (const auto &[word, k] : Words)
        if (k == key)
            return word;
    return "";
}

// How many values a key's cursor holds before the ID.
int valuesOf(SearchOrder::Key key)
{
    switch (key) {
    case SearchOrder::Key::Name:
    case SearchOrder::Key::Host:
        return 2;
    case SearchOrder::Key::Path:
        return 3;
    case SearchOrder::Key::Stored:
        return 0;
    default:
        return 1;
    }
}

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

// Text as both stores order it: SQLite's BINARY compares UTF-8 bytes,
// which order as code points do; PostgreSQL's "C" collation the same.
QString text(const QSqlDatabase &db, const QString &column)
{
    const QString value = QStringLiteral("COALESCE(d.%1, '')").arg(column);
    return isPostgres(db) ? value + QStringLiteral(" COLLATE \"C\"") : value;
}
} // namespace

std::optional<SearchOrder::Key> SearchOrder::keyNamed(const QString &word)
{
    for (const auto &[w, key] : Words)
        if (word == QLatin1String(w))
            return key;
    return std::nullopt;
}

// The expressions, rather than the bare columns, also keep the planner
// from walking an index in the key's order and testing every row against
// a rare pattern: the terms pick the rows through their own indexes, and
// only those are sorted.
QStringList SearchOrder::columns(const QSqlDatabase &db) const
{
    const QString name = text(db, QStringLiteral("Name"));
    const QString ext = text(db, QStringLiteral("ext"));
    const QString host = text(db, QStringLiteral("Host"));
    switch (m_key) {
    case Key::Name:
        return {name, ext, QStringLiteral("d.ID")};
    case Key::Size:
        return {QStringLiteral("COALESCE(d.Size, -1)"), QStringLiteral("d.ID")};
    case Key::Date:
        return {QStringLiteral("COALESCE(d.LAC, 0)"), QStringLiteral("d.ID")};
    case Key::Host:
        return {host, name, QStringLiteral("d.ID")};
    case Key::Path:
        return {host, QStringLiteral("COALESCE(d.PID, 0)"), name, QStringLiteral("d.ID")};
    case Key::Stored:
        break;
    }
    return {};
}

QString SearchOrder::orderBy(const QSqlDatabase &db) const
{
    if (!sorts())
        return QString();
    const QString way = m_descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC");
    return QStringLiteral(" ORDER BY ") + columns(db).join(way + QStringLiteral(", ")) + way;
}

// A row value compared as a whole: both stores compare (a, b) > (x, y)
// column by column, as the ORDER BY runs.
CatalogueQueries::Statement SearchOrder::start(const QSqlDatabase &db) const
{
    if (!hasStart())
        return {QStringLiteral("1 = 1"), {}};
    const QStringList cols = columns(db);
    QStringList marks;
    for (int i = 0; i < cols.size(); ++i)
        marks << QStringLiteral("?");
    return {QStringLiteral("(%1) %2 (%3)")
                .arg(cols.join(QStringLiteral(", ")), m_descending ? QStringLiteral("<") : QStringLiteral(">"),
                     marks.join(QStringLiteral(", "))),
            typedValues()};
}

QVariantList SearchOrder::typedValues() const
{
    QVariantList values;
    for (const QString &v : m_after)
        values << v;
    switch (m_key) {
    case Key::Size:
        values[0] = m_after[0].toLongLong();
        break;
    case Key::Date:
        values[0] = m_after[0].toDouble();
        break;
    case Key::Path:
        values[1] = m_after[1].toInt();
        break;
    default:
        break;
    }
    values.last() = m_after.last().toInt();
    return values;
}

QString SearchOrder::cursorAfter(const CatalogueRecord &row, double lac) const
{
    QJsonArray parts{QString::fromLatin1(wordOf(m_key)), m_descending ? 1 : 0};
    const QString size = row.size.isNull() ? QStringLiteral("-1") : QString::number(row.size.toLongLong());
    // 17 digits give the double back bit for bit.
    const QString date = QString::number(lac, 'g', 17);
    switch (m_key) {
    case Key::Name:
        parts << row.name << row.ext;
        break;
    case Key::Size:
        parts << size;
        break;
    case Key::Date:
        parts << date;
        break;
    case Key::Host:
        parts << row.host << row.name;
        break;
    case Key::Path:
        parts << row.host << QString::number(row.pid) << row.name;
        break;
    case Key::Stored:
        return QString();
    }
    parts << QString::number(row.id);
    return QString::fromLatin1(QJsonDocument(parts).toJson(QJsonDocument::Compact).toBase64(
        QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

// A cursor comes from anyone who sends a request: every part is checked.
std::optional<SearchOrder> SearchOrder::fromCursor(const QString &cursor)
{
    const auto decoded = QByteArray::fromBase64Encoding(
        cursor.toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const QJsonArray parts = QJsonDocument::fromJson(*decoded).array();
    const std::optional<Key> key = keyNamed(parts.at(0).toString());
    if (!key || parts.size() != valuesOf(*key) + 3 || !parts.at(1).isDouble())
        return std::nullopt;
    SearchOrder order(*key, parts.at(1).toInt() != 0);
    for (int i = 2; i < parts.size(); ++i) {
        if (!parts.at(i).isString())
            return std::nullopt;
        order.m_after << parts.at(i).toString();
    }
    bool numbers = true;
    const auto number = [&](const QString &s, bool real) {
        bool ok = false;
        real ? s.toDouble(&ok) : s.toLongLong(&ok);
        numbers = numbers && ok;
    };
    number(order.m_after.last(), false);
    if (*key == Key::Size || *key == Key::Date)
        number(order.m_after.first(), *key == Key::Date);
    if (*key == Key::Path)
        number(order.m_after[1], false);
    return numbers ? std::optional(order) : std::nullopt;
}
