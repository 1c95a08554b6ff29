#pragma once
#include "CatalogueQueries.h"
#include "SearchTerms.h"

class NameSearch;

// The SQL of a find: DB's rows that meet every term, as one statement with
// bound values only (no text of the terms goes into the SQL). The name
// pattern takes the trigram index where NameSearch can; size and time
// bounds the indexes on Size and LAC; a host its index; under, the folder
// index one level at a time.
class SearchStatement
{
public:
    // under: a folder's ID; only the rows below it. 0: anywhere.
    static CatalogueQueries::Statement build(const SearchTerms &terms, const NameSearch &names, qint32 under = 0);
    // Why the terms cannot be asked, or empty: a regular expression that
    // does not compile or is too long, bounds the wrong way round.
    static QString problem(const SearchTerms &terms);

private:
    static void addName(const SearchTerms &terms, const NameSearch &names, CatalogueQueries::Statement &st);
    static void addTypes(const SearchTerms &terms, const QSqlDatabase &db, CatalogueQueries::Statement &st);
    static void addBounds(const SearchTerms &terms, CatalogueQueries::Statement &st);
    static void addHost(const SearchTerms &terms, CatalogueQueries::Statement &st);
    static void addUnder(qint32 under, CatalogueQueries::Statement &st);
};
