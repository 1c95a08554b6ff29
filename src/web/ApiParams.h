#pragma once
#include "core/catalogue/SearchOrder.h"

#include <QStringList>
#include <QUrlQuery>
#include <optional>

// A request's query parameters, read strictly: an unknown or repeated
// parameter, one too long, or a value of the wrong form throws BadRequest
// naming it, rather than being taken for something else.
class ApiParams
{
public:
    static constexpr int MostChars = 1024;
    static constexpr int MostRows = 500;

    // Throws BadRequest.
    ApiParams(const QUrlQuery &query, const QStringList &known);

    bool has(const QString &name) const { return m_values.contains(name); }
    QString value(const QString &name) const { return m_values.value(name); }
    // "1", "true", "on", "yes" and their opposites; absent: false.
    bool flag(const QString &name) const;
    // limit: 1 to MostRows, fallback when absent.
    qint64 limit(qint64 fallback = 50) const;
    // sort, order and after, as harvex-cli find reads --sort, --order and --after.
    SearchOrder order(SearchOrder::Key fallback) const;
    std::optional<qint64> size(const QString &name) const;

private:
    QHash<QString, QString> m_values;
};
