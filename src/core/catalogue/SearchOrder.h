#pragma once
#include "CatalogueQueries.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <optional>

struct CatalogueRecord;

// The order of a find's rows, and where a page of them starts: after the
// last row of the page before (keyset paging), so a late page costs what
// the first does. Every key ends with the row's ID, which no two rows
// share, so the order is total and no row is told twice or skipped. Text
// compares by code points on both stores (PostgreSQL through the "C"
// collation); a missing value sorts as the least one.
class SearchOrder
{
public:
    // Path: by host, then folder by folder as the catalogue holds them,
    // names in order inside each folder; host: by host, then by name.
    enum class Key { Stored, Name, Size, Date, Path, Host };

    SearchOrder() = default;
    SearchOrder(Key key, bool descending)
        : m_key(key)
        , m_descending(descending)
    {
    }

    // "name", "size", "date", "path", "host"; nothing for another word.
    static std::optional<Key> keyNamed(const QString &word);
    Key key() const { return m_key; }
    bool descending() const { return m_descending; }
    bool sorts() const { return m_key != Key::Stored; }

    // The cursor of the page that follows row (with its stored LAC): a
    // word of letters, digits, "-" and "_", which also names the order.
    QString cursorAfter(const CatalogueRecord &row, double lac) const;
    // The order a cursor names, its page starting after the row it was
    // made from; nothing for text no cursor gives.
    static std::optional<SearchOrder> fromCursor(const QString &cursor);
    bool hasStart() const { return !m_after.isEmpty(); }

    // " ORDER BY ..." over the columns of a query aliased d; empty when
    // the rows keep the order they are stored in.
    QString orderBy(const QSqlDatabase &db) const;
    // The condition on d's columns that starts the page after the cursor,
    // with its values; "1 = 1" without one.
    CatalogueQueries::Statement start(const QSqlDatabase &db) const;

private:
    QStringList columns(const QSqlDatabase &db) const;
    QVariantList typedValues() const;

    Key m_key = Key::Stored;
    bool m_descending = false;
    QStringList m_after; // the key's values of the row before, its ID last
};
