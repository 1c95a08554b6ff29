#include "HostsCommand.h"
#include "CommandLine.h"
#include "HistoryCommand.h"
#include "SqlCommand.h"

int HostsCommand::run()
{
    if (m_c.line.isSet("long"))
        return HistoryCommand(m_c).hostsLong();
    return SqlCommand(m_c).runStatement(CatalogueQueries::hostSummary());
}
