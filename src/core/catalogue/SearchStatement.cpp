#include "SearchStatement.h"
#include "LacTime.h"
#include "NameSearch.h"
#include "SqlDialect.h"

#include <QRegularExpression>

namespace {
void andWhere(CatalogueQueries::Statement &st, const QString &condition, const QVariantList &values = {})
{
    st.sql += QStringLiteral(" AND ") + condition;
    st.params += values;
}
} // namespace

QString SearchStatement::problem(const SearchTerms &terms)
{
    if (terms.regex) {
        if (terms.pattern.size() > SearchTerms::MostRegexChars)
            return QStringLiteral("The regular expression is longer than %1 characters").arg(SearchTerms::MostRegexChars);
        const QRegularExpression re(terms.pattern);
        if (!re.isValid())
            return QStringLiteral("The regular expression is not valid: %1").arg(re.errorString());
    }
    if (terms.minSize && terms.maxSize && *terms.minSize > *terms.maxSize)
        return QStringLiteral("The smallest size is larger than the largest");
    if (terms.newer.isValid() && terms.older.isValid() && terms.newer >= terms.older)
        return QStringLiteral("The newer bound is not before the older one");
    return QString();
}

CatalogueQueries::Statement SearchStatement::build(const SearchTerms &terms, const NameSearch &names, qint32 under)
{
    CatalogueQueries::Statement st{QStringLiteral("SELECT * FROM DB WHERE 1 = 1"), {}};
    addName(terms, names, st);
    addTypes(terms, names.database(), st);
    addBounds(terms, st);
    addHost(terms, st);
    addUnder(under, st);
    return st;
}

void SearchStatement::addName(const SearchTerms &terms, const NameSearch &names, CatalogueQueries::Statement &st)
{
    if (!terms.regex) {
        const NameSearch::Condition c = names.condition(terms.pattern);
        andWhere(st, c.sql, c.values);
        return;
    }
    andWhere(st, u'(' + SqlDialect::regexMatch(names.database(), QStringLiteral("Name")) + u')', {terms.pattern});
}

void SearchStatement::addTypes(const SearchTerms &terms, const QSqlDatabase &db, CatalogueQueries::Statement &st)
{
    if (terms.kind == SearchTerms::Kind::Folders)
        andWhere(st, QStringLiteral("(Attr = 16)"));
    else if (terms.kind == SearchTerms::Kind::Files)
        andWhere(st, QStringLiteral("(Attr <> 16)"));
    if (terms.types.isEmpty())
        return;
    QStringList any;
    QVariantList values;
    for (const QString &type : terms.types) {
        any << SqlDialect::like(db, QStringLiteral("ext"));
        values << type;
    }
    andWhere(st, u'(' + any.join(QStringLiteral(" OR ")) + u')', values);
}

// LAC holds the bits of a 64-bit count of 100 ns since 1601 as a double:
// for the positive values it takes, doubles order as their bits do, so a
// bound on the time is a bound on LAC, and LAC's index serves it.
void SearchStatement::addBounds(const SearchTerms &terms, CatalogueQueries::Statement &st)
{
    if (terms.minSize)
        andWhere(st, QStringLiteral("(Size >= ?)"), {*terms.minSize});
    if (terms.maxSize)
        andWhere(st, QStringLiteral("(Size <= ?)"), {*terms.maxSize});
    if (terms.newer.isValid())
        andWhere(st, QStringLiteral("(LAC > ?)"), {LacTime::fromDateTime(terms.newer)});
    if (terms.older.isValid())
        andWhere(st, QStringLiteral("(LAC < ? AND LAC > 0)"), {LacTime::fromDateTime(terms.older)});
}

void SearchStatement::addHost(const SearchTerms &terms, CatalogueQueries::Statement &st)
{
    if (terms.host.isEmpty())
        return;
    const bool pattern = terms.host.contains(u'%') || terms.host.contains(u'_');
    andWhere(st, pattern ? QStringLiteral("(Host LIKE ?)") : QStringLiteral("(Host = ?)"), {terms.host});
}

// The folders below, found a level at a time through the folder index.
void SearchStatement::addUnder(qint32 under, CatalogueQueries::Statement &st)
{
    if (under == 0)
        return;
    andWhere(st,
             QStringLiteral("(PID IN (WITH RECURSIVE Below(ID) AS (SELECT CAST(? AS INTEGER) UNION ALL SELECT f.ID FROM DB f "
                            "JOIN Below b ON f.PID = b.ID WHERE f.Attr = 16) SELECT ID FROM Below))"),
             {under});
}
