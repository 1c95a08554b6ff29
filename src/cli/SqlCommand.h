#pragma once
#include "CommandContext.h"
#include "core/catalogue/CatalogueQueries.h"

class QSqlQuery;

// harvex-cli sql: a statement of the user's on the catalogue; a query's rows
// go to standard output in the chosen format, other statements say how many
// rows they touched. Also runs the catalogue's own prepared statements.
class SqlCommand
{
public:
    explicit SqlCommand(const CommandContext &context) : m_c(context) {}
    int run();
    int runStatement(const CatalogueQueries::Statement &st);

private:
    int writeRows(QSqlQuery &q) const;

    const CommandContext &m_c;
};
