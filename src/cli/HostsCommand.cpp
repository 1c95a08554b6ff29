#include "HostsCommand.h"
#include "SqlCommand.h"

int HostsCommand::run()
{
    return SqlCommand(m_c).runStatement(CatalogueQueries::hostSummary());
}
